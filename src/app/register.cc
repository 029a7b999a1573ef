#include "app/register.h"

#include "app/about.h"
#include "app/box_version.h"
#include "app/configuration.h"
#include "app/custom_fields.h"
#include "app/directory_view.h"
#include "app/module_check.h"
#include "app/pattern_view.h"
#include "app/read_module.h"
#include "app/write_module.h"

namespace r7k {
namespace {

const CallbackEntry kFrameCallbacks[] = {
    {"CB_Port", CB_Port},
    {"CB_Config", CB_Config},
    {"CB_BrowsePalette", CB_BrowsePalette},
    {"CB_RightAlign", CB_RightAlign},
    {"CB_HelpEn", CB_HelpEn},
    {"CB_HelpNl", CB_HelpNl},
    {"CB_Print", CB_Print},
    {"CB_R7kProgVersion", CB_R7kProgVersion},
};

const CallbackEntry kModuleCallbacks[] = {
    {"CB_ModuleInfo", CB_ModuleInfo},
    {"CB_hModuleInfo", CB_hModuleInfo},
    {"CB_Cancel", CB_Cancel},
    {"CB_Cross", CB_Cross},
    {"CB_VersionDialog", CB_VersionDialog},
    {"CB_GetBoxVersion", CB_GetBoxVersion},
    {"CB_hGetModVer", CB_hGetModVer},
    {"CB_ReadModule", CB_ReadModule},
    {"CB_hReadModule", CB_hReadModule},
};

const CallbackEntry kWriteCallbacks[] = {
    {"CB_WriteModule", CB_WriteModule},
    {"CB_hWriteModule", CB_hWriteModule},
    {"CB_Erase", CB_Erase},
};

}  // namespace

std::span<const CallbackEntry> FrameCallbacks() { return kFrameCallbacks; }

void RegisterAppCallbacks() {
  RegisterCallbacks(kFrameCallbacks);
  RegisterCallbacks(kModuleCallbacks);
  RegisterCallbacks(kWriteCallbacks);
  RegisterProcedure("CardAnalyse", CardAnalyse);
  RegisterEditingCallbacks();
  RegisterPictureProcedures();
  RegisterCustomFields();
}

}  // namespace r7k
