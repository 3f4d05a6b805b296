// Texts the installer must show word for word, as the tests expect them at every level.
#pragma once

#include <string>

#include "core/BuildConfig.h"

namespace cvi::expected {

// The questions asked when the chosen folder already holds an installation.
inline const std::string kBox1 =
    "'CelvaraStudio' appears to already be installed there.\r\rThis will be an Upgrade-only "
    "installation.\r\rIs this OK?\r\rClick NO for another option.";
inline const std::string kBox2 =
    "Click 'OK' to overwrite current installation and do a re-install.\r\r(existing CHARTS you "
    "have created will be retained; however, you will have to reset your 'defaults' for "
    "location, lat/long, etc.)";

// The self-extractor automation's failure messages, each followed by the package path except the
// last.
inline const std::string kUnzipMissing = "Unzip EXE does not exist: ";
inline const std::string kUnzipNoStart = "Timeout waiting for self-extracting EXE to start: ";
inline const std::string kUnzipNoFinish =
    "Timeout of 50 seconds waiting for finish of the Unzip of self-extracting EXE: ";
inline const std::string kUnzipNoLog =
    "Automatic Unzip of self-extracting EXE Failed. Check the Winzip Self-extractor message that "
    "is displayed.\r\rIf you are able to complete the unZip, locate the CelvaraStudio.exe file in "
    "the installation path and double-click it, to Start CelvaraStudio.";

// When the package cannot be started: this, the package path, two carriage returns, the system's
// reason (or the sentence on administrator rights) and " (error N)".
inline const std::string kUnzipCannotStart = "The self-extracting EXE could not be started: ";
inline const std::string kUnzipNeedsAdmin =
    "The package asks for administrator rights, which this installer does not have.";
// When a self-extractor dialog is already open before the package is started.
inline const std::string kUnzipDialogAlreadyOpen =
    "A WinZip Self-Extractor window is already open, perhaps left from an earlier attempt.\r\r"
    "Close that window, then try again.";

// Added to a waiting message when the self-extractor's process ended meanwhile, with its exit code
// and ")."
inline const std::string kUnzipEnded = "\r\rThe self-extracting EXE has ended (exit code ";

// Before a re-install or an upgrade over a CelvaraStudio that is running: this, the program's
// path, then kProductInUseEnd.
inline const std::string kProductInUse = "CelvaraStudio is in use: ";
inline const std::string kProductInUseEnd =
    "\r\rPlease close CelvaraStudio, then try again. Nothing has been downloaded or changed.";

// A download whose body is not the pinned package, and the sentence added when a web page came
// instead (a network's sign-in page).
inline const std::string kVerification =
    std::string(
        "Download verification error.  The downloaded installation file is not the one "
        "this installer expects; it may have been damaged or altered on the way. Please "
        "try again; if it still fails, please contact ") +
    kSupportEmail + " and inform him of this 'Verification Error' message.";
inline const std::string kSignInPage =
    "\rA web page arrived instead of the installation file, perhaps the sign-in page of the "
    "network you are on (as in hotels or airports); sign in with your web browser, then click "
    "'Install' again.";
// The start of every message of a local file's failure, whatever its cause.
inline const std::string kIoCaption =
    "Download I/O error.  Please try again; it could be an intermittent internet-connection "
    "problem.";

// The unload guard's message while an attempt runs.
inline const std::string kUnloadGuard =
    "Installation in progress. You must 'Cancel'; you cannot unload this process.";

}  // namespace cvi::expected
