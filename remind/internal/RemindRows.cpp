#include "remind/internal/RemindRows.h"

#include <cassert>

#include "core/base/CSingleLock.h"
#include "remind/internal/NorvCodes.h"
#include "style/CNorvRemindStyleItem.h"

namespace norvrows {

CString Column(const CNorvRecordSet& rows, int column) {
  CString value;
  rows.GetValue(column, value);
  return value;
}

const CString& TransientColumn(const CNorvRecordSet& rows, int column) {
  // Copying into a string that has room allocates nothing.
  thread_local CString buffer;
  rows.GetValue(column, buffer);
  return buffer;
}

short ShortColumn(const CNorvRecordSet& rows, int column) {
  return static_cast<short>(rows.GetIntValue(column));
}

void ReadRemindDef(const CNorvRecordSet& rows, const RemindDefColumns& columns,
                   CNorvRemind& remind) {
  assert(columns.type != 0);
  if (columns.id != 0) remind.m_ID.FromString1(TransientColumn(rows, columns.id));
  if (columns.state != 0) remind.m_nState = ShortColumn(rows, columns.state);
  remind.m_nType = ShortColumn(rows, columns.type);
  remind.m_nSendFlag = ShortColumn(rows, columns.sendFlag);
  // Into the fields' own buffers: a new remind's creation time and content
  // type already have room for the stored ones.
  rows.GetValue(columns.from, remind.m_strFrom);
  rows.GetValue(columns.creatorID, remind.m_strCreatorID);
  rows.GetValue(columns.creatorName, remind.m_strCreatorName);
  rows.GetValue(columns.createTime, remind.m_strCreateTime);
  rows.GetValue(columns.content, remind.m_strContent);
  rows.GetValue(columns.contentType, remind.m_strContentType);
  if (remind.m_nType == norvcode::kOneOff) {
    remind.m_dtRemind.ParseDateTime(TransientColumn(rows, columns.remindTime));
  } else if (const CString& deadline = TransientColumn(rows, columns.invalidDate);
             !deadline.IsEmpty()) {
    remind.m_dtInvalid.ParseDateTime(deadline, VAR_DATEVALUEONLY);
  }
  if (remind.m_nType == norvcode::kCustomStyle) {
    remind.m_strRemindStyleDef = Column(rows, columns.styleDef);
  }
}

CNorvBasePtr<CEmItem> ReadReceiver(const CNorvRecordSet& rows, int first) {
  CNorvBasePtr<CEmItem> receiver = new CEmItem;
  receiver->m_nReceiveType = ShortColumn(rows, first);
  receiver->m_strReceiveID = Column(rows, first + 1);
  receiver->m_strReceiveName = Column(rows, first + 2);
  return receiver;
}

void ReadRepeat(const CNorvRecordSet& rows, int first, CNorvRemindRepeat& repeat) {
  // An unreadable start, a NULL's empty text included, stays invalid.
  COleDateTime start;
  start.ParseDateTime(TransientColumn(rows, first + 1), VAR_DATEVALUEONLY);
  CSingleLock lock(&repeat.m_cs, true);
  repeat.m_strRemindTime = Column(rows, first);
  repeat.m_dtStart = start;
  if (const CString& end = TransientColumn(rows, first + 2); !end.IsEmpty()) {
    repeat.m_dtEnd.ParseDateTime(end, VAR_DATEVALUEONLY);
  }
  repeat.m_nRegularType = ShortColumn(rows, first + 3);
  repeat.m_nInterval = ShortColumn(rows, first + 4);
  repeat.m_nRegularValue = ShortColumn(rows, first + 5);
  repeat.m_nRegularRange = ShortColumn(rows, first + 6);
  if (repeat.m_nRegularRange == norvcode::kLimitedCount) {
    repeat.m_nNum = rows.GetIntValue(first + 7);
    repeat.m_nCount = rows.GetIntValue(first + 8);
  }
}

bool CanFire(CNorvRemind& remind, DeadlineRule rule, CString& reason) {
  const short type = remind.m_nType;
  if (type == norvcode::kOneOff) {
    if (remind.m_dtRemind.GetStatus() == COleDateTime::valid) return true;
    reason = L"常规提醒未指定提醒时间";
    return false;
  }
  const bool needsDeadline =
      type == norvcode::kCustomStyle ||
      (rule == DeadlineRule::kAllButOneOffAndPeriodic && type != norvcode::kPeriodic);
  if (needsDeadline && remind.m_dtInvalid.GetStatus() != COleDateTime::valid) {
    reason = L"自定义样式提醒未指定截止日期";
    return false;
  }
  if (type != norvcode::kCustomStyle) return true;
  if (remind.m_strRemindStyleDef.IsEmpty()) {
    reason = L"提醒自定义样式内容为空";
    return false;
  }
  CString parseError;
  if (!CNorvRemindStyleItem::ParseListXML(remind.m_strRemindStyleDef, remind.m_lstStyleItem,
                                          parseError)) {
    reason.Format(L"解析提醒自定义样式信息时失败，原因：%s", parseError);
    return false;
  }
  return true;
}

}  // namespace norvrows
