#include "services/app_state.h"

namespace services {

int32_t Medium = 0;
int32_t Language = 0;
int32_t PortIndex = 0;
int32_t BaudIndex = 3;

}  // namespace services
