// The R2007 container.
#include "engine/dwg/Container.h"

namespace dxf::dwg {

Container readR2007(std::string_view, Container c) {
    throw Unsupported(0x80, "DWG version " + versionLabel(c.acadver) + " is not supported yet");
}

}  // namespace dxf::dwg
