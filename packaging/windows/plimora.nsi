; The Windows installer: Plimora for one user, without administrator rights,
; in %LOCALAPPDATA%\Programs\Plimora, a folder the user may write, so that
; the program keeps its table, sys.dat, beside itself as everywhere else.
;
; The installer brings the program files and edition.dat, never sys.dat:
; installed over an older version it replaces the program and the shipped
; edition, and the program's next start brings the user's sys.dat up to the
; new edition with their rows kept. The uninstaller asks whether to keep
; sys.dat (and its backups); silent (/S) it keeps them.
;
; Made by scripts/windows/make-installer, which defines
;   VERSION       the version, "1.1"
;   FILE_VERSION  the same as four numbers, "1.1.0.0"
;   FILES         an include with the macros PLIMORA_INSTALL_FILES and
;                 PLIMORA_REMOVE_FILES, one line for each file of the package,
;                 and PLIMORA_REMOVE_LIBRARIES, for the DLLs in each of its
;                 folders
;   SIZE_KB       the installed size, for the Apps list
;   ICON          plimora.ico
;   OUTFILE       the installer to write

; A 64-bit installer for a 64-bit program: Windows without 64 bits refuses
; to start it, before anything is changed.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plimora"
!define PUBLISHER "The Plimora developers"
!define SHORTCUT "$SMPROGRAMS\Plimora 手机号码查询.lnk"

Name "Plimora ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Plimora"
; An earlier install's folder, wherever the user put it.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Plimora ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "Plimora"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "Plimora ${VERSION} 安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}. GNU GPL 3.0 or later."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "安装 Plimora ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Plimora 离线查询中国手机号码的归属地、区号和卡类型。$\r$\n$\r$\n\
Plimora 将安装在您自己的用户文件夹中，不需要管理员权限。$\r$\n$\r$\n\
如果已经安装了旧版本：程序文件和发行的号码表 edition.dat 会被替换，\
您的号码表 sys.dat 和您添加的记录保持不变，下次启动时程序会把它更新到新版本。$\r$\n$\r$\n\
安装前请关闭正在运行的 Plimora。$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_RUN "$INSTDIR\plimora.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动 Plimora"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Windows will not replace a program or a library while it runs: copying over
; a running Plimora would leave half the files new and half old. A file of
; the program's that cannot be opened for writing is one in use; the user is
; asked to close Plimora, and on Cancel (and always when silent) nothing is
; changed and the exit code is 2.
!macro REFUSE_WHILE_RUNNING un
Function ${un}RefuseWhileRunning
    Push $0
    Push $1
    Push $2
    Push $3
retry:
    StrCpy $0 ""
    FindFirst $1 $2 "$INSTDIR\*.*"
    ${DoWhile} $2 != ""
        StrCpy $3 $2 "" -4
        ${If} $3 == ".exe"
        ${OrIf} $3 == ".dll"
        ${AndIf} $2 != "uninstall.exe"
            ClearErrors
            FileOpen $3 "$INSTDIR\$2" a
            ${If} ${Errors}
                StrCpy $0 $2
                ${Break}
            ${EndIf}
            FileClose $3
        ${EndIf}
        FindNext $1 $2
    ${Loop}
    FindClose $1
    ${If} $0 != ""
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Plimora 正在运行（$INSTDIR\$0 正在使用中）。$\r$\n$\r$\n\
请关闭 Plimora 的所有窗口和 plimora-table，然后点击“重试”。\
点击“取消”则退出，不做任何改动。" /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

Function .onInit
    SetShellVarContext current
FunctionEnd

Section "Plimora"
    Call RefuseWhileRunning
    ; Over an earlier Plimora, the libraries and plugins it had and this
    ; version may not, which Windows and Qt would otherwise go on loading.
    ; In a folder without Plimora they are somebody else's, and stay. Never
    ; sys.dat or its backups, nor anything else of the user's.
    ${If} ${FileExists} "$INSTDIR\plimora.exe"
        !insertmacro PLIMORA_REMOVE_LIBRARIES
    ${EndIf}
    !insertmacro PLIMORA_REMOVE_FILES
    !insertmacro PLIMORA_INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetOutPath "$INSTDIR"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\plimora.exe" "" "$INSTDIR\plimora.exe" 0 \
        SW_SHOWNORMAL "" "离线查询手机号码的归属地、区号和卡类型"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Plimora"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\plimora.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://plimora.org/"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Uninstall"
    Call un.RefuseWhileRunning
    StrCpy $0 "keep"
    ${If} ${FileExists} "$INSTDIR\sys.dat"
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
            "是否保留您的号码表 sys.dat？$\r$\n$\r$\n\
其中有您添加的记录。选“是”保留它和它的备份，以后重新安装 Plimora 时会接着使用；\
选“否”把它们一并删除，您添加的记录将无法找回。" /SD IDYES IDYES keep
        StrCpy $0 "remove"
    keep:
    ${EndIf}

    !insertmacro PLIMORA_REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    ${If} $0 == "remove"
        Delete "$INSTDIR\sys.dat"
        Delete "$INSTDIR\sys.dat-journal"
        Delete "$INSTDIR\sys.dat.part"
        ; The update's backups only (sys.dat.20261208-153000.bak,
        ; ….-2.bak), not a copy the user named themselves.
        Delete "$INSTDIR\sys.dat.????????-??????.bak"
        Delete "$INSTDIR\sys.dat.????????-??????-*.bak"
    ${EndIf}
    Delete "${SHORTCUT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Only when nothing is left in it: a kept table, or a file of the
    ; user's, keeps the folder.
    RMDir "$INSTDIR"
    ${If} $0 == "keep"
    ${AndIf} ${FileExists} "$INSTDIR\sys.dat"
        DetailPrint "已保留您的号码表：$INSTDIR\sys.dat"
    ${EndIf}
SectionEnd
