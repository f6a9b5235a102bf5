# Helpers of the Wine stage: a template prefix made once per run, a copy of it
# per scenario, the setup and the driver in C:\setup, and the machine's state
# printed by swkstate.py from the prefix's files.
#
# Needs: SWK_WINE_WORK (a scratch folder), SWK_WIN_BUILD (the mingw-x64 build
# folder). Wine runs with WINEDEBUG=-all, its 64-bit loader called directly.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
# No menu entries or desktop files on the host; no browser engine or .NET prompts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mshtml=d;mscoree=d"
# Wine links the profile's folders to the home folder: point that at scratch.
export HOME="$SWK_WINE_WORK/home"
mkdir -p "$HOME"

SWK_SETUP_DIR='C:\setup'
SWK_TESTS_WINE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# What the stand-ins and the address opener record; the setup passes its
# environment on to the programs it starts.
export SWK_STANDIN_LOG='C:\setup\standins.log'
export SWK_PLANTED_MARKER='C:\setup\planted.log'

# Waits for the prefix's processes to end (killing them after 60 s) and for the
# wineserver to end, which writes the registry to the prefix's hive files.
swk_wine_stop() {
    timeout 60 "$WINESERVER" -w && return 0
    "$WINESERVER" -k || true
    timeout 30 "$WINESERVER" -w || true
}

# Makes the template prefix: booted, no graphics driver without an X server
# (windows that linger 2 s when closed are turned off under Xvfb), the profile's
# folders real folders rather than links to the home folder, and http
# addresses opened by swkopenurl.exe, which records them.
swk_wine_template() {
    local template="$SWK_WINE_WORK/template"
    # While working on a scenario: SWK_WINE_REUSE_TEMPLATE=1 with a kept SWK_WINE_WORK.
    [ -n "${SWK_WINE_REUSE_TEMPLATE:-}" ] && [ -d "$template" ] && return 0
    rm -rf "$template"
    export WINEPREFIX="$template"
    "$WINE" wineboot -u >/dev/null 2>&1
    if [ -z "${DISPLAY:-}" ]; then
        "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    else
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    fi
    "$WINE" reg add 'HKCR\http\shell\open\command' /ve /d '"C:\setup\swkopenurl.exe" "%1"' /f >/dev/null
    "$WINE" reg delete 'HKCR\http\shell\open\ddeexec' /f >/dev/null 2>&1 || true
    swk_wine_stop
    local link
    for link in "$template"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
    done
}

# A fresh copy of the template for one scenario, with the setup and the tools in C:\setup.
swk_wine_prefix() {
    local name="$1"
    export WINEPREFIX="$SWK_WINE_WORK/$name"
    rm -rf "$WINEPREFIX"
    cp -a "$SWK_WINE_WORK/template" "$WINEPREFIX"
    mkdir -p "$WINEPREFIX/drive_c/setup"
    cp "$SWK_WIN_BUILD/StashwickSetup.exe" "$SWK_WIN_BUILD/tools/driver/swkdriver.exe" \
       "$SWK_WIN_BUILD/tools/driver/swkopenurl.exe" "$WINEPREFIX/drive_c/setup/"
}

# Runs the driver with the given steps in the current prefix; its output goes
# to $SWK_WINE_OUT/<name>.driver.txt. Returns the driver's status.
swk_wine_drive() {
    local name="$1"; shift
    local status=0
    timeout 240 "$WINE" 'C:\setup\swkdriver.exe' "$@" >"$SWK_WINE_OUT/$name.driver.txt" 2>&1 || status=$?
    swk_wine_stop
    return $status
}

# Prints the machine's state to $SWK_WINE_OUT/<name>.state.txt, once the
# prefix's processes have ended and the wineserver has saved the registry to
# the prefix's hive files, which swkstate.py reads.
swk_wine_state() {
    local name="$1"
    swk_wine_stop
    python3 "$SWK_TESTS_WINE/swkstate.py" wine "$WINEPREFIX" ${SWK_WOW64:+--wow64} \
        --log "$WINEPREFIX/drive_c/setup/standins.log" >"$SWK_WINE_OUT/$name.state.txt"
}

# The path on this machine of a Windows path in the current prefix's drive C.
swk_wine_path() {
    local windows="$1"
    printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "${windows#C:\\}" | tr '\\' '/')"
}
