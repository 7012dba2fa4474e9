// The program's one scene. Views and dialogs are handed a reference; only start-up code asks here.
#pragma once

namespace mw {
class CMeshwright;
CMeshwright& TheScene();
}  // namespace mw
