; Installer of veltaro.exe: installs for the current user into a folder the user may write to
; (PEGASUS.OUT is written beside the program) and adds a Start-menu entry. No administrator
; rights are asked for. Built by scripts/win-build.sh:
;   makensis -DEXE=path\to\veltaro.exe -DOUTFILE=veltaro-setup.exe
;            -DVERSION_NSH=build-win\version.nsh installer/veltaro.nsi
; version.nsh (FILE_VERSION, PRODUCT_VERSION) is written by CMake from the project's version.
Target amd64-unicode
!ifndef EXE
  !define EXE "..\build-win\veltaro-dist.exe"
!endif
!ifndef OUTFILE
  !define OUTFILE "..\build-win\veltaro-setup.exe"
!endif
!ifndef VERSION_NSH
  !define VERSION_NSH "..\build-win\version.nsh"
!endif
!include "${VERSION_NSH}"

Name "Veltaro"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Veltaro"
InstallDirRegKey HKCU "Software\Veltaro" "InstallDir"
SetCompressor /SOLID lzma
VIProductVersion "${PRODUCT_VERSION}"
VIAddVersionKey "ProductName" "Veltaro"
VIAddVersionKey "FileVersion" "${FILE_VERSION}"
VIAddVersionKey "FileDescription" "Veltaro installer"
VIAddVersionKey "LegalCopyright" "Freeware"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Veltaro"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=veltaro.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Veltaro" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltaro" "DisplayName" "Veltaro"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltaro" "DisplayVersion" "${FILE_VERSION}"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltaro" "UninstallString" '"$INSTDIR\uninstall.exe"'
  CreateDirectory "$SMPROGRAMS\Veltaro"
  CreateShortcut "$SMPROGRAMS\Veltaro\Veltaro.lnk" "$INSTDIR\veltaro.exe"
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Veltaro\Veltaro.lnk"
  RMDir "$SMPROGRAMS\Veltaro"
  Delete "$INSTDIR\veltaro.exe"
  Delete "$INSTDIR\PEGASUS.OUT"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltaro"
  DeleteRegKey HKCU "Software\Veltaro"
  ; The settings under "VB and VBA Program Settings" stay for a later installation.
SectionEnd
