#include "CommSettings.h"

TCommSettings CommSettings;
int32_t RFChannel = 33;
int32_t RFPower = 3;
int32_t RFRateCode = 7;
bool AutoReconnect = false;
