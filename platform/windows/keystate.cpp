#include "platform/systemkeys.h"
#include "platform/windows/handles.h"

namespace plm {

bool SystemKeyState::EscapeHeld() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }

}  // namespace plm
