// meshwright-import: reads one file of another program's format through Assimp, under the limits
// the program gives it, and hands the scene back (io/assimp_child.h). Installed beside meshwright
// and mwconv, which start it for every such file.
#include "io/assimp_child.h"

int main(int argc, char** argv) { return mw::ImportHelperMain(argc, argv); }
