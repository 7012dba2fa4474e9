# The module and the programs of one build: MESHWRIGHT_BIN (the programs' folder) or build/release.
import os
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = pathlib.Path(os.environ.get("MESHWRIGHT_BIN", ROOT / "build" / "release" / "bin"))
sys.path.insert(0, str(BIN.parent / "python"))
TESTDATA = pathlib.Path(os.environ.get("MW_TESTDATA_DIR", ROOT.parent / "shared" / "testdata"))
