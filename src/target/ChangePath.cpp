// "Change Drive or Path": the folder dialog, then validation of the chosen folder.
#include "target/ChangePath.h"

namespace cvi {

void cmdChange_Click(Installer&) {
  // Filled in with the folder browser.
}

}  // namespace cvi
