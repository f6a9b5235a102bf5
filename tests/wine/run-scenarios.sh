#!/usr/bin/env bash
# The end-to-end scenarios of the Windows setup under Wine. Each scenario runs
# in its own copy of a template prefix, acts through the automation driver and
# then checks the prefix as a user's machine.
#
#   run-scenarios.sh WIN_BUILD_DIR OUT_DIR [SCENARIO ...]
#
# WIN_BUILD_DIR: the mingw-x64 build (StashwickSetup.exe, tools/driver/...).
# OUT_DIR: driver transcripts, machine states and screenshots (test artifacts).
# SWK_SIM_SETUP: the Linux stashwick-setup, for the differential scenario.
# SWK_WOW64=1: the setup is the 32-bit build on 64-bit Wine (Program Files (x86),
# the registry's 32-bit view); the simulated side then uses its WOW64 profile,
# made with SWK_SIM_MACHINE (the Linux swkmachine).
set -uo pipefail

SWK_WIN_BUILD="$(cd "$1" && pwd)"
SWK_WINE_OUT="$(mkdir -p "$2" && cd "$2" && pwd)"
shift 2
SWK_WINE_WORK="${SWK_WINE_WORK:-$(mktemp -d /tmp/swk-wine.XXXXXX)}"
export SWK_WIN_BUILD SWK_WINE_OUT SWK_WINE_WORK
source "$(dirname "$0")/wine-lib.sh"

PAYLOAD="$SWK_WIN_BUILD/platform/win32/payload"
CONTAINER="$SWK_WIN_BUILD/platform/win32/payload_container.bin"
CHECK="python3 $SWK_TESTS_WINE/check_state.py"
PROGRAM_FOLDER='C:\Program Files\Tarnwell\Stashwick'
if [ -n "${SWK_WOW64:-}" ]; then
    CHECK="$CHECK --wow64"
    PROGRAM_FOLDER='C:\Program Files (x86)\Tarnwell\Stashwick'
fi
CAPTION_QUESTION='A previous installation of "Stashwick" is found.'
SAVED_PAGES_TIME='2020-01-02 03:04:05 UTC'
failures=0

pass() { echo "PASS $1"; }
fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }
has() { grep -qF -- "$2" "$SWK_WINE_OUT/$1"; }

# OK, Next, then Close on the completion page: the whole first installation.
INSTALL_STEPS=('wizard' 'click 1' 'wait 1 Next' 'click 1' 'wait 1 Run Program')

scenario_first_install() {
    swk_wine_prefix first-install
    swk_wine_drive first-install "start $SWK_SETUP_DIR\\StashwickSetup.exe" wizard layout 'print 1001' 'print 1002' \
        "screenshot $SWK_SETUP_DIR\\page0.bmp" 'click 1' 'wait 1 Next' 'print 1002' \
        "screenshot $SWK_SETUP_DIR\\page1.bmp" 'click 1' 'wait 1 Run Program' 'print 1002' \
        "screenshot $SWK_SETUP_DIR\\page2.bmp" 'click 2' 'exit 30' \
        || { fail first-install "driver stopped (see first-install.driver.txt)"; return; }
    cp "$WINEPREFIX"/drive_c/setup/page*.bmp "$SWK_WINE_OUT/" 2>/dev/null \
        && python3 "$SWK_TESTS_WINE/bmp_to_png.py" "$SWK_WINE_OUT"/page*.bmp && rm -f "$SWK_WINE_OUT"/page*.bmp
    swk_wine_state first-install
    local problems
    problems=$($CHECK installed "$SWK_WINE_OUT/first-install.state.txt" "$PAYLOAD") \
        || { fail first-install "$problems"; return; }
    problems=$(python3 "$SWK_TESTS_WINE/check_layout.py" "$SWK_WINE_OUT/first-install.driver.txt") \
        || { fail first-install "dialog 102: $problems"; return; }
    has first-install.driver.txt "control 1001 visible=1 enabled=0 text=${PROGRAM_FOLDER%Stashwick}" \
        || { fail first-install "path field"; return; }
    grep -q '^event open http://.*/init.asp?P=5&V=4.5&A=0$' "$SWK_WINE_OUT/first-install.state.txt" \
        || { fail first-install "latest-version page not opened"; return; }
    [ ! -e "$(swk_wine_path 'C:\users')"/*/AppData/LocalLow/Tarnwell/Stashwick/prog.tmp ] \
        || { fail first-install "temporary file left"; return; }
    pass first-install
}

# A scenario's prefix as the first installation left it, without its log of starts.
prefix_over_first_install() {  # scenario name
    [ -d "$SWK_WINE_WORK/first-install" ] || return 1
    export WINEPREFIX="$SWK_WINE_WORK/$1"
    rm -rf "$WINEPREFIX" && cp -a "$SWK_WINE_WORK/first-install" "$WINEPREFIX"
    rm -f "$WINEPREFIX/drive_c/setup/standins.log"
}

# Reinstallation over the first one; the user's saved pages must end up in the backup.
scenario_reinstall_yes() {
    prefix_over_first_install reinstall-yes || { fail reinstall-yes "needs first-install"; return; }
    local store
    store=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Tarnwell/Stashwick/swk.bin)
    printf 'pages the user saved\r\n' >"$store" && touch -d "$SAVED_PAGES_TIME" "$store"
    local saved_hash
    saved_hash=$(sha256sum "$store" | cut -d' ' -f1)
    swk_wine_drive reinstall-yes "start $SWK_SETUP_DIR\\StashwickSetup.exe" 'box yes' "${INSTALL_STEPS[@]:0:3}" \
        escape 'wait 1 Run Program' close 'exit 30' \
        || { fail reinstall-yes "driver stopped (see reinstall-yes.driver.txt)"; return; }
    swk_wine_state reinstall-yes
    local problems
    problems=$($CHECK installed "$SWK_WINE_OUT/reinstall-yes.state.txt" "$PAYLOAD") \
        || { fail reinstall-yes "$problems"; return; }
    has reinstall-yes.driver.txt "box title=StashwickSetup owner=" && has reinstall-yes.driver.txt "$CAPTION_QUESTION" \
        || { fail reinstall-yes "no previous-installation question"; return; }
    has reinstall-yes.state.txt "file DocumentsFolder\\Pages_<time>.swk size=22 sha256=$saved_hash" \
        || { fail reinstall-yes "saved pages not kept in the backup"; return; }
    ! grep -q '^event open' "$SWK_WINE_OUT/reinstall-yes.state.txt" \
        || { fail reinstall-yes "Escape on the result page opened the web page"; return; }
    pass reinstall-yes
}

# Reinstallation answered No: the setup ends and the machine is as it was.
scenario_reinstall_no() {
    prefix_over_first_install reinstall-no || { fail reinstall-no "needs first-install"; return; }
    swk_wine_state reinstall-no-before
    swk_wine_drive reinstall-no "start $SWK_SETUP_DIR\\StashwickSetup.exe" 'box no' 'exit 30' \
        || { fail reinstall-no "driver stopped (see reinstall-no.driver.txt)"; return; }
    swk_wine_state reinstall-no
    diff -u "$SWK_WINE_OUT/reinstall-no-before.state.txt" "$SWK_WINE_OUT/reinstall-no.state.txt" \
        >"$SWK_WINE_OUT/reinstall-no.diff" \
        || { fail reinstall-no "the machine changed:"; head -40 "$SWK_WINE_OUT/reinstall-no.diff"; return; }
    ! has reinstall-no.driver.txt 'wizard' || { fail reinstall-no "wizard shown"; return; }
    pass reinstall-no
}

# The user's data folder (where the extraction's temporary file lives) has a
# long path with characters outside any ANSI code page: the system's own LZ
# open call could not take it, our replacement must.
scenario_unicode_profile() {
    swk_wine_prefix unicode-profile
    local name
    name="Données Ñandú 日本語 Ελληνικά $(printf 'long%.0s' $(seq 1 30))"
    local user
    user=$(ls "$WINEPREFIX/drive_c/users" | grep -v '^Public$' | head -1)
    python3 - "$WINEPREFIX/drive_c/setup/lowdata.reg" "$name" "$user" <<'PYTHON'
import sys
folder = "C:\\users\\" + sys.argv[3] + "\\AppData\\" + sys.argv[2]
text = ("Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
        "\"{A520A1A4-1780-4FF6-BD18-167343C5AF16}\"=\"%s\"\r\n" % folder.replace("\\", "\\\\"))
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PYTHON
    "$WINE" regedit /S 'C:\setup\lowdata.reg' >/dev/null 2>&1
    swk_wine_stop
    swk_wine_drive unicode-profile "start $SWK_SETUP_DIR\\StashwickSetup.exe" "${INSTALL_STEPS[@]}" 'click 2' 'exit 30' \
        || { fail unicode-profile "driver stopped (see unicode-profile.driver.txt)"; return; }
    local user_data
    user_data=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/"$name"/Tarnwell/Stashwick)
    cmp -s "$user_data/swk.bin" "$PAYLOAD/swk.bin" || { fail unicode-profile "no user data in $name"; return; }
    cmp -s "$(swk_wine_path "$PROGRAM_FOLDER")/swk.exe" "$PAYLOAD/swk.exe" \
        || { fail unicode-profile "program not installed"; return; }
    [ ! -e "$user_data/prog.tmp" ] || { fail unicode-profile "temporary file left"; return; }
    pass unicode-profile
}

# A product program holds the running-instance semaphore: the attempt is refused.
scenario_product_running() {
    swk_wine_prefix product-running
    swk_wine_drive product-running semaphore "start $SWK_SETUP_DIR\\StashwickSetup.exe" wizard 'click 1' \
        'box ok' 'print 1' 'click 2' 'exit 30' \
        || { fail product-running "driver stopped (see product-running.driver.txt)"; return; }
    swk_wine_state product-running
    local problems
    problems=$($CHECK empty "$SWK_WINE_OUT/product-running.state.txt") || { fail product-running "$problems"; return; }
    has product-running.driver.txt 'control 1 visible=1 enabled=1 text=OK' \
        || { fail product-running "not back on the first page"; return; }
    pass product-running
}

# A read-only program file in the way: "Error in installation", first page again.
scenario_readonly_target() {
    swk_wine_prefix readonly-target
    local folder
    folder=$(swk_wine_path "$PROGRAM_FOLDER")
    mkdir -p "$folder" && printf 'old' >"$folder/swk.exe" && chmod a-w "$folder/swk.exe"
    # Root writes to files without write permission: make it immutable too.
    [ "$(id -u)" -ne 0 ] || chattr +i "$folder/swk.exe" || { fail readonly-target "cannot protect the file"; return; }
    local status=0
    swk_wine_drive readonly-target "start $SWK_SETUP_DIR\\StashwickSetup.exe" wizard 'click 1' \
        'box ok' 'print 1' 'click 2' 'exit 30' || status=$?
    [ "$(id -u)" -ne 0 ] || chattr -i "$folder/swk.exe"
    [ $status -eq 0 ] || { fail readonly-target "driver stopped (see readonly-target.driver.txt)"; return; }
    swk_wine_state readonly-target
    has readonly-target.driver.txt 'text=Error in installation' || { fail readonly-target "no error message"; return; }
    has readonly-target.driver.txt 'control 1 visible=1 enabled=1 text=OK' \
        || { fail readonly-target "not back on the first page"; return; }
    ! grep -q '^reg .*app paths' "$SWK_WINE_OUT/readonly-target.state.txt" \
        || { fail readonly-target "installation recorded"; return; }
    [ "$(cat "$folder/swk.exe")" = old ] || { fail readonly-target "read-only file changed"; return; }
    pass readonly-target
}

# "Restart Windows" on the completion page: under Wine it ends the session.
scenario_restart() {
    swk_wine_prefix restart
    swk_wine_drive restart "start $SWK_SETUP_DIR\\StashwickSetup.exe" "${INSTALL_STEPS[@]}" \
        'print 1011' 'click 1011' 'exit 30' || true
    has restart.driver.txt 'control 1011 visible=1 enabled=1 text=Restart Windows' \
        || { fail restart "no Restart Windows button"; return; }
    ! has restart.driver.txt 'error reboot' || { fail restart "the restart was refused"; return; }
    ! has restart.driver.txt 'FAIL exit' || { fail restart "the setup kept running"; return; }
    pass restart
}

# DLLs named like system DLLs beside the setup are never loaded. Wine is told to
# prefer such DLLs, as Windows' search order would; a control program that
# imports lz32.dll shows that a planted DLL is picked up when nothing prevents it.
planted_dll_run() {  # scenario name, Windows version Wine reports ("" = its default)
    local scenario="$1" version="$2"
    swk_wine_prefix "$scenario"
    if [ -n "$version" ]; then
        "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
        swk_wine_stop
    fi
    # The setup in a downloads folder where someone dropped the DLLs; the driver stays apart.
    local downloads="$WINEPREFIX/drive_c/downloads"
    mkdir -p "$downloads"
    cp "$SWK_WIN_BUILD"/tools/driver/planted/*.dll "$SWK_WIN_BUILD/tools/driver/swklzexpand.exe" \
       "$SWK_WIN_BUILD/StashwickSetup.exe" "$downloads/"
    local names
    names=$(cd "$SWK_WIN_BUILD/tools/driver/planted" && ls *.dll | sed 's/\.dll$//' | paste -sd, -)
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$names=n,b" swk_wine_drive $scenario \
        'start C:\downloads\StashwickSetup.exe' "${INSTALL_STEPS[@]}" 'click 2' 'exit 30' \
        || { fail $scenario "driver stopped (see $scenario.driver.txt)"; return; }
    local marker="$WINEPREFIX/drive_c/setup/planted.log"
    [ ! -e "$marker" ] || { fail $scenario "loaded: $(tr -d '\r' <"$marker" | paste -sd' ')"; return; }
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$names=n,b" timeout 60 "$WINE" 'C:\downloads\swklzexpand.exe' \
        'C:\downloads\none' 'C:\downloads\none.out' >/dev/null 2>&1
    swk_wine_stop
    grep -q lz32.dll "$marker" 2>/dev/null || { fail $scenario "control: a planted DLL is not loaded even without protection"; return; }
    pass "$scenario"
}

scenario_planted_dll() { planted_dll_run planted-dll ""; }
# Vista takes the other road: no SetDefaultDllDirectories, system DLLs preloaded.
scenario_planted_dll_vista() { planted_dll_run planted-dll-vista vista; }

# The system's own LZ expansion reads what our packer writes.
scenario_lz_interop() {
    swk_wine_prefix lz-interop
    cp "$SWK_WIN_BUILD/tools/driver/swklzexpand.exe" "$WINEPREFIX/drive_c/setup/"
    local dir="$WINEPREFIX/drive_c/setup/lz"
    mkdir -p "$dir"
    python3 "$SWK_TESTS_WINE/split_container.py" "$CONTAINER" "$dir" >/dev/null \
        || { fail lz-interop "cannot split the container"; return; }
    local name k=0 bad=""
    while read -r name _; do
        k=$((k + 1))
        timeout 60 "$WINE" 'C:\setup\swklzexpand.exe' "C:\\setup\\lz\\entry$k.szdd" "C:\\setup\\lz\\entry$k.out" \
            >/dev/null 2>&1
        cmp -s "$dir/entry$k.out" "$PAYLOAD/$name" || bad="$bad $name"
    done < <(grep -v '^#' "$PAYLOAD/manifest.txt" | grep -v '^$')
    swk_wine_stop
    [ -z "$bad" ] || { fail lz-interop "differs:$bad"; return; }
    pass lz-interop
}

# The same installations on the simulated machine give the same states: the
# first installation, then the reinstallation answered Yes over it with the
# same saved pages (and the same time on them) in the user's store.

sim_state() {  # machine, output file: the state without what only Wine records
    python3 "$SWK_TESTS_WINE/swkstate.py" sim "$1" | grep -v '^event registered' >"$2"
}

wine_state_for_diff() {  # scenario name, output file
    grep -v '^event registered' "$SWK_WINE_OUT/$1.state.txt" | grep -v 'clsid\\{6e3b17d7' >"$2"
}

scenario_differential() {
    [ -f "$SWK_WINE_OUT/first-install.state.txt" ] || { fail differential "needs first-install"; return; }
    if [ -z "${SWK_SIM_SETUP:-}" ] || [ ! -x "$SWK_SIM_SETUP" ]; then
        fail differential "no Linux stashwick-setup (SWK_SIM_SETUP)"; return
    fi
    local machine="$SWK_WINE_WORK/sim-machine" out="$SWK_WINE_OUT/differential"
    rm -rf "$machine"
    if [ -n "${SWK_WOW64:-}" ]; then
        "${SWK_SIM_MACHINE:-swkmachine}" create "$machine" wow64=1 >/dev/null \
            || { fail differential "cannot create a WOW64 simulated machine (SWK_SIM_MACHINE)"; return; }
    fi
    "$SWK_SIM_SETUP" --machine "$machine" --payload "$CONTAINER" --answers ok,ok,cancel \
        >"$out.first-install.sim.txt" 2>&1 || { fail differential "simulated setup failed"; return; }
    sim_state "$machine" "$out.first-install.sim-state.txt"
    wine_state_for_diff first-install "$out.first-install.wine-state.txt"
    diff -u "$out.first-install.wine-state.txt" "$out.first-install.sim-state.txt" >"$out.first-install.diff" \
        || { fail differential "first installation differs:"; head -40 "$out.first-install.diff"; return; }

    if [ -f "$SWK_WINE_OUT/reinstall-yes.state.txt" ]; then
        local store
        store=$(python3 -c "import sys; sys.path.insert(0, '$SWK_TESTS_WINE'); import swkstate; \
print(swkstate.host_path('$machine', 'C:\\\\Users\\\\User\\\\AppData\\\\LocalLow\\\\Tarnwell\\\\Stashwick\\\\swk.bin'))")
        printf 'pages the user saved\r\n' >"$store" && touch -d "$SAVED_PAGES_TIME" "$store"
        : >"$machine/journal.txt"
        "$SWK_SIM_SETUP" --machine "$machine" --payload "$CONTAINER" --answers yes,ok,cancel,cancel \
            >"$out.reinstall-yes.sim.txt" 2>&1 || { fail differential "simulated reinstallation failed"; return; }
        sim_state "$machine" "$out.reinstall-yes.sim-state.txt"
        wine_state_for_diff reinstall-yes "$out.reinstall-yes.wine-state.txt"
        diff -u "$out.reinstall-yes.wine-state.txt" "$out.reinstall-yes.sim-state.txt" >"$out.reinstall-yes.diff" \
            || { fail differential "reinstallation differs:"; head -40 "$out.reinstall-yes.diff"; return; }
    fi
    pass differential
}

all=(first_install reinstall_yes reinstall_no unicode_profile product_running readonly_target restart planted_dll planted_dll_vista lz_interop differential)
selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=("${all[@]}")

# The template prefix, unless only the comparison with the simulation runs here.
if [ "${selected[*]}" != differential ]; then
    echo "== Wine template prefix"
    swk_wine_template
fi
for scenario in "${selected[@]}"; do
    "scenario_${scenario//-/_}"
done
echo "== Wine scenarios: $failures failed; artifacts in $SWK_WINE_OUT"
[ -z "${SWK_WINE_KEEP:-}" ] && rm -rf "$SWK_WINE_WORK"
[ $failures -eq 0 ]
