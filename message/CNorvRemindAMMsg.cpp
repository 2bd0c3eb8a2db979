#include "message/CNorvRemindAMMsg.h"

CNorvRemindAMMsg::CNorvRemindAMMsg() = default;

CNorvRemindAMMsg::~CNorvRemindAMMsg() = default;
