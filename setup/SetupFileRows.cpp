// The rows of the file table, apart from the helpers so that the small outside programs of the
// setup disk can link them alone.
#include "setup/SetupFileTable.h"

namespace brind::setup {

const SetupFile SetupFileTable[kSetupFileCount] = {
    {"BrindFs.vxd", "BrindFs.vx_", 124616},
    {"Startup.exe", "Startup.ex_", 193024},
    {"Charmap.mac", "Charmap.ma_", 3784},
    {"Cleanup.exe", "Cleanup.ex_", 11264},
    {"Brindlew.exe", "Brindl~1.ex_", 216064},
    {"Brindlew.hlp", "Brindl~1.hl_", 265671},
    {"Enlist.exe", "Enlist.ex_", 45000},
    {"Enlist.ini", "Enlist.in_", 4427},
    {"Tarnlk32.dll", "Tarnlk32.dl_", 214528},
    {"Hazel32.dll", "Hazel32.dl_", 38400},
    {"Corvid32.dll", "Corvid32.dl_", 33792},
    {"Setup.exe", "Setup.ex_", 0},
    {"Brindlewood.gid", "Brindlewood.gi_", 0},
    {"Brindlewood Utility.exe", "Brindlewood Utility.exe", 0},
    {"Brindlewood.hlp", "Brindlewood.hlp", 0},
    {"Wrenbox.dat", "Wrenbox.dat", 0},
};

}  // namespace brind::setup
