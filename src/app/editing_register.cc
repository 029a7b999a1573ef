#include "app/directory_view.h"
#include "app/entity_files.h"
#include "app/import_picture.h"
#include "app/new_entries.h"
#include "app/sectors.h"
#include "app/techniques.h"
#include "app/text_records_view.h"
#include "engine/callbacks.h"

namespace r7k {

void RegisterEditingCallbacks() {
  static const CallbackEntry kCallbacks[] = {
      {"CB_CurrentVirtualModule", CB_CurrentVirtualModule},
      {"CB_MainStatus", CB_MainStatus},
      {"CB_Browse", CB_Browse},
      {"CB_ShowValidOnly", CB_ShowValidOnly},
      {"CB_NextPattern", CB_NextPattern},
      {"CB_PreviousPattern", CB_PreviousPattern},
      {"CB_Split", CB_Split},
      {"CB_NextSector", CB_NextSector},
      {"CB_PreviousSector", CB_PreviousSector},
      {"CB_ShowTechnique", CB_ShowTechnique},
      {"CB_NextTechnique", CB_NextTechnique},
      {"CB_PreviousTechnique", CB_PreviousTechnique},
  };
  static const ProcedureEntry kProcedures[] = {
      {"DP_Info", DP_Info},
      {"DP_Save", DP_Save},
      {"DP_Load", DP_Load},
      {"DP_Update", DP_Update},
      {"DP_NewTechnique", DP_NewTechnique},
      {"DP_NewPattern", DP_NewPattern},
      {"DP_ImportPicture", DP_ImportPicture},
      {"DP_ClipDirectory", DP_ClipDirectory},
      {"DP_ClipInstructions", DP_ClipInstructions},
      {"DP_LoadSectorData", DP_LoadSectorData},
      {"DP_LoadTechniqueData", DP_LoadTechniqueData},
      {"DP_LoadTechniqueDataFromModule", DP_LoadTechniqueDataFromModule},
      {"DP_LoadTechniqueDataFromColl", DP_LoadTechniqueDataFromColl},
      {"DP_TextInfo", DP_TextInfo},
  };
  RegisterCallbacks(kCallbacks);
  RegisterProcedures(kProcedures);
}

}  // namespace r7k
