; The peer installer of the benchmark: the same job as PortivoInstaller.exe, written the way an
; NSIS user would. Unpack the 77-file tree into a folder in %TEMP%, write a PORTS.dat beside the
; setup, run the setup and wait for it, delete the folder. bench/run builds it twice:
;   makensis -DCOMPRESSION=stored|lzma -DTREE=<folder of the 77 files> -DOUTFILE=<exe> peer.nsi
; Everything else is NSIS's default (among it the CRC check of the whole installer at start-up).
Unicode true
!if "${COMPRESSION}" == "stored"
  SetCompress off
!else if "${COMPRESSION}" == "lzma"
  SetCompressor /SOLID lzma
!else
  !error "COMPRESSION must be stored or lzma"
!endif

Name "Portivo benchmark peer"
OutFile "${OUTFILE}"
SilentInstall silent
; Like the manifest of ours: an administrator runs it.
RequestExecutionLevel admin
InstallDir "$TEMP\PortivoBenchPeer"

Section
  SetOutPath "$INSTDIR"
  File /r "${TREE}/*"
  FileOpen $0 "$INSTDIR\PORTS.dat" w
  FileWrite $0 "COM3,9600,8,N,1$\r$\n"
  FileClose $0
  ; The same arguments as ours hands its setup; there is no window to post to, so the handle is 0.
  ExecWait '"$INSTDIR\setup.exe" /clone_wait "/W32:0:1024"' $1
  SetOutPath "$TEMP"
  RMDir /r "$INSTDIR"
SectionEnd
