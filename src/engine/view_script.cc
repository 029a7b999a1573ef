#include "engine/view_script.h"

namespace r7k {

int DefaultMessageAnswer(int type) {
  const bool second = (type & 0xF00) == kMbDefaultButton2;
  switch (type & 0xF) {
    case kMbOkCancel: return second ? kIdCancel : kIdOk;
    case 3:  // Yes, No, Cancel
    case kMbYesNo: return second ? kIdNo : kIdYes;
    case 2: return 3;  // Abort, Retry, Ignore: Abort
    case 5: return 4;  // Retry, Cancel: Retry
    default: return kIdOk;
  }
}

}  // namespace r7k
