// Writing the settings is for the build tools and the tests; kept apart from
// the reading, so the program, which only reads, does not carry it.
#include "launcher/image_settings.h"

namespace tenvik {

std::string formatImageSettings(const ImageSettings& settings) {
  return "runtime=" + formatRuntimeRule(settings.runtime) + "\n" +
         "progress-window=" + (settings.progressWindow ? "on" : "off") + "\n";
}

}  // namespace tenvik
