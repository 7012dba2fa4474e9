#include "app/application.h"

int main(int argc, char** argv) { return mw::RunApplication(argc, argv); }
