// Texts the installer must show word for word, as the tests expect them at every level.
#pragma once

#include <string>

namespace cvi::expected {

// The questions asked when the chosen folder already holds an installation.
inline const std::string kBox1 =
    "'CelvaraStudio' appears to already be installed there.\r\rThis will be an Upgrade-only "
    "installation.\r\rIs this OK?\r\rClick NO for another option.";
inline const std::string kBox2 =
    "Click 'OK' to overwrite current installation and do a re-install.\r\r(existing CHARTS you "
    "have created will be retained; however, you will have to reset your 'defaults' for "
    "location, lat/long, etc.)";

}  // namespace cvi::expected
