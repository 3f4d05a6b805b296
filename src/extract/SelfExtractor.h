// Unpacks a downloaded package by driving its self-extractor's dialog from outside.
#pragma once

#include <cstdint>
#include <string>

#include "core/Installer.h"

namespace cvi {

constexpr const char* kSelfExtractorTitlePart = "WinZip Self-Extractor -";
constexpr const char* kSelfExtractorMessageTitle = "WinZip Self-Extractor";

// Starts the package, puts the target folder into its dialog, unzips, dismisses the completion
// window and closes the dialog. True (-1) when a log file written by this run arrived in
// InstallPath (an earlier one is set aside first, and put back when none arrives); otherwise a
// message box has said why and the result is False (0): also when a self-extractor dialog was open
// already, when the package cannot be started, when its process ends before its completion
// window, and when its dialog has not exactly one folder field or that field does not name
// ExtractTargetDir just before the unzip (nothing is unzipped then). Only windows of the package's
// own process are driven.
std::int16_t RunSelfExtractor(Installer& in,
                              const std::string& PackagePath,
                              const std::string& ExtractTargetDir);

}  // namespace cvi
