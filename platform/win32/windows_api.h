// The Windows SDK headers for the Win32 backend, and nothing else of Windows.
//
// The portable side keeps its own minimal Windows types and constants in the
// namespace swk (platform/win_types.h). The SDK defines many of the same names
// as macros, which would rewrite our declarations; once the SDK headers are in,
// those macros are removed, so that in the backend an unqualified name is ours
// and a name qualified with :: is the system's. Constants of the system needed
// here are spelled out where they are used.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// (windows.h first: the other SDK headers need its definitions)
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winver.h>

// Our names that the SDK also defines as macros.
#undef CO_E_NOTINITIALIZED
#undef CP_UTF8
#undef CREATE_ALWAYS
#undef CREATE_NEW
#undef CSIDL_COMMON_APPDATA
#undef CSIDL_COMMON_DESKTOPDIRECTORY
#undef CSIDL_COMMON_PROGRAMS
#undef CSIDL_COMMON_STARTUP
#undef CSIDL_LOCAL_APPDATA
#undef CSIDL_PERSONAL
#undef CSIDL_PROGRAM_FILES
#undef DRIVE_CDROM
#undef DRIVE_FIXED
#undef DRIVE_NO_ROOT_DIR
#undef DRIVE_RAMDISK
#undef DRIVE_REMOTE
#undef DRIVE_REMOVABLE
#undef DRIVE_UNKNOWN
#undef ERROR_ACCESS_DENIED
#undef ERROR_ALREADY_EXISTS
#undef ERROR_BAD_EXE_FORMAT
#undef ERROR_BAD_LENGTH
#undef ERROR_BAD_PATHNAME
#undef ERROR_CANCELLED
#undef ERROR_DIR_NOT_EMPTY
#undef ERROR_DISK_FULL
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_HANDLE_DISK_FULL
#undef ERROR_INVALID_HANDLE
#undef ERROR_INVALID_NAME
#undef ERROR_INVALID_PARAMETER
#undef ERROR_MOD_NOT_FOUND
#undef ERROR_MORE_DATA
#undef ERROR_NOT_ALL_ASSIGNED
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_NOT_READY
#undef ERROR_PATH_NOT_FOUND
#undef ERROR_PRIVILEGE_NOT_HELD
#undef ERROR_PROC_NOT_FOUND
#undef ERROR_SHARING_VIOLATION
#undef ERROR_SUCCESS
#undef ERROR_WRITE_PROTECT
#undef EWX_REBOOT
#undef E_ACCESSDENIED
#undef E_FAIL
#undef E_NOINTERFACE
#undef E_OUTOFMEMORY
#undef FAILED
#undef FALSE
#undef FILE_ATTRIBUTE_DIRECTORY
#undef FILE_ATTRIBUTE_NORMAL
#undef FILE_ATTRIBUTE_READONLY
#undef FILE_SHARE_DELETE
#undef FILE_SHARE_READ
#undef FILE_SHARE_WRITE
#undef FOF_ALLOWUNDO
#undef FOF_MULTIDESTFILES
#undef FOF_NOCONFIRMATION
#undef FOF_NOCONFIRMMKDIR
#undef FOF_NOERRORUI
#undef FOF_NO_CONNECTED_ELEMENTS
#undef FOF_SILENT
#undef FO_COPY
#undef FO_DELETE
#undef FO_MOVE
#undef FO_RENAME
#undef GENERIC_READ
#undef GENERIC_WRITE
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_CONFIG
#undef HKEY_CURRENT_USER
#undef HKEY_DYN_DATA
#undef HKEY_LOCAL_MACHINE
#undef HKEY_PERFORMANCE_DATA
#undef HKEY_USERS
#undef HRESULT_FROM_WIN32
#undef INVALID_FILE_ATTRIBUTES
#undef INVALID_HANDLE_VALUE
#undef IS_INTRESOURCE
#undef KEY_ALL_ACCESS
#undef KEY_READ
#undef KEY_WRITE
#undef LZERROR_BADINHANDLE
#undef LZERROR_BADOUTHANDLE
#undef LZERROR_BADVALUE
#undef LZERROR_GLOBALLOC
#undef LZERROR_READ
#undef LZERROR_UNKNOWNALG
#undef LZERROR_WRITE
#undef MAX_PATH
#undef OFS_MAXPATHNAME
#undef OF_READ
#undef OF_SHARE_DENY_WRITE
#undef OPEN_ALWAYS
#undef OPEN_EXISTING
#undef REGDB_E_CLASSNOTREG
#undef REG_BINARY
#undef REG_CREATED_NEW_KEY
#undef REG_DWORD
#undef REG_EXPAND_SZ
#undef REG_MULTI_SZ
#undef REG_NONE
#undef REG_OPENED_EXISTING_KEY
#undef REG_OPTION_NON_VOLATILE
#undef REG_QWORD
#undef REG_SZ
#undef SEMAPHORE_ALL_ACCESS
#undef SE_ERR_ACCESSDENIED
#undef SE_ERR_FNF
#undef SE_ERR_NOASSOC
#undef SE_ERR_PNF
#undef SE_PRIVILEGE_ENABLED
#undef SUCCEEDED
#undef SW_RESTORE
#undef S_FALSE
#undef S_OK
#undef TOKEN_ADJUST_PRIVILEGES
#undef TOKEN_QUERY
#undef TRUE
#undef VER_PLATFORM_WIN32_NT
#undef VER_PLATFORM_WIN32_WINDOWS
#undef VER_PLATFORM_WIN32s
#undef SE_SHUTDOWN_NAME
#undef MAKEINTRESOURCEA

// Window styles that app/dialog_template.h names in its own namespace.
#undef WS_CHILD
#undef WS_VISIBLE
#undef WS_DISABLED
#undef WS_TABSTOP
#undef WS_POPUP
#undef WS_CAPTION
#undef WS_SYSMENU
#undef DS_MODALFRAME
#undef DS_SETFONT
#undef BS_PUSHBUTTON
#undef BS_DEFPUSHBUTTON
#undef BS_ICON
#undef ES_AUTOHSCROLL
#undef SS_LEFT

#include "platform/win_types.h"
