// Every result code the installer can end with. A run that succeeds exits with the outcome the
// setup posted instead (0-65535).
#pragma once

enum ResultCodeValue : int {
  kResultSuccess = 0,            // every check passed and the child did not fail
  kResultAlreadyRunning = 101,   // another instance holds the mutex, or the mutex could not be made
  kResultUnsupportedOs = 102,    // Windows older than major version 5
  kResultModeConflict = 103,     // a driver of the other operation mode is installed
  kResultNotAdministrator = 104, // the token does not list the administrators group
  kResultSamePort = 106,         // quiet install: QX and KD asked for the same port
  kResultKdWithoutQx = 107,      // quiet install: a KD port without a QX port
  kResultInstallFailed = 1001,   // the hidden window could not be made; the payload is damaged or
                                 // could not be written; PORTS.dat is not whole; the program to
                                 // start was missing, or failed (exit code 2, or it crashed); the
                                 // clean-up library did not run; the kernel-mode marks were refused;
                                 // an extraction failed
};
