#include "host/cli/DefinitionCheck.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CString.h"

namespace norvhost {

namespace {

bool NameIs(const pugi::xml_node& node, const char* name) {
  return node && ::strcasecmp(node.name(), name) == 0;
}

// The library matches child elements without regard to case, and so do
// the checks.
pugi::xml_node Child(const pugi::xml_node& element, const char* name) {
  for (pugi::xml_node child : element.children()) {
    if (child.type() == pugi::node_element && NameIs(child, name)) return child;
  }
  return pugi::xml_node();
}

// Whole numbers only; a text too large for 64 bits is no number.
std::optional<long long> WholeNumber(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  long long value = 0;
  const auto [at, error] = std::from_chars(begin, end, value);
  if (begin == end || error != std::errc() || at != end) return std::nullopt;
  return value;
}

bool WholeIn(const std::optional<std::string>& text, long long low, long long high) {
  if (!text) return false;
  const std::optional<long long> value = WholeNumber(*text);
  return value && *value >= low && *value <= high;
}

COleDateTime DateOf(const std::optional<std::string>& text, unsigned flags) {
  COleDateTime date;
  if (!text || !date.ParseDateTime(CString::FromUtf8(*text), flags)) return COleDateTime();
  return date;
}

bool IsValid(const COleDateTime& date) { return date.GetStatus() == COleDateTime::valid; }

// H:MM or HH:MM within a day.
bool IsTimeOfDay(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
    return false;
  }
  return WholeIn(text.substr(0, colon), 0, 23) && WholeIn(text.substr(colon + 1), 0, 59) &&
         std::all_of(text.begin(), text.end(), [](char ch) {
           return ch == ':' || std::isdigit(static_cast<unsigned char>(ch));
         });
}

enum class Scope { kRemind, kRepeat, kStyle, kItem };

// The facts several rules depend on, read before any rule runs.
struct Facts {
  long long type = -1;
  long long regularType = 0;
  bool limited = false;  // RegularRange 1: a number of firings
  bool named = false;    // the definition gives its identifier
  COleDateTime start;
  COleDateTime now;
  COleDateTime today;  // at 00:00
};

// What one rule looks at: an attribute's text, or an element.
struct Target {
  std::optional<std::string> value;
  pugi::xml_node node;
};

// `name` is an attribute, "<X>" a child element X, "<>" the element itself.
struct Rule {
  Scope scope;
  const char* name;
  bool (*holds)(const Target& target, const Facts& facts);
  const char* english;
  const char* chinese;
};

template <long long kLow, long long kHigh>
bool Within(const Target& target, const Facts&) {
  return WholeIn(target.value, kLow, kHigh);
}

template <long long kLow, long long kHigh>
bool AbsentOrWithin(const Target& target, const Facts&) {
  return !target.value || WholeIn(target.value, kLow, kHigh);
}

bool NotBeforeStart(const Target& target, const Facts& facts) {
  const COleDateTime end = DateOf(target.value, VAR_DATEVALUEONLY);
  return facts.type != 1 || !IsValid(end) || !IsValid(facts.start) || !(end < facts.start);
}

// A repeat value for the rule type it belongs to; absent reads as 0.
template <long long kType>
bool ValueFits(const Target& target, const Facts& facts) {
  if (facts.regularType != kType) return true;
  const std::optional<std::string> text = target.value ? target.value : "0";
  const std::optional<long long> value = WholeNumber(*text);
  if (!value) return false;
  if (kType == 0) return *value >= 0 && *value <= 2;
  if (kType == 1) return *value > 0 && *value <= 0xFE && (*value & 1) == 0;
  return *value != 0 && *value >= -31 && *value <= 31;
}

const Rule kRules[] = {
    {Scope::kRemind, "<>", [](const Target& t, const Facts&) { return !NameIs(t.node, "Style"); },
     "this is a style, not a remind; store it with `norvremind style add`",
     "这是提醒样式而不是提醒；请用 `norvremind style add` 保存"},
    {Scope::kRemind, "<>", [](const Target& t, const Facts&) { return NameIs(t.node, "Remind"); },
     "the root element of a definition is <Remind>", "定义的根元素应为 <Remind>"},
    {Scope::kRemind, "ID",
     [](const Target& t, const Facts&) {
       CGuid id;
       return !t.value || id.FromString(CString::FromUtf8(*t.value));
     },
     "an identifier is written XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX",
     "标识符的格式为 XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"},
    {Scope::kRemind, "Type", Within<0, 2>,
     "the type is 0 (one-off), 1 (periodic) or 2 (custom style)",
     "类型应为 0（一次性）、1（周期）或 2（自定义样式）"},
    {Scope::kRemind, "State", AbsentOrWithin<0, 1>, "the state is 0 (active) or 1 (inactive)",
     "状态应为 0（有效）或 1（无效）"},
    {Scope::kRemind, "SendFlag", Within<0, 1>,
     "SendFlag is 1 (send instant messages) or 0 (inbox rows only)",
     "SendFlag 应为 1（发送即时消息）或 0（只写收件箱）"},
    {Scope::kRemind, "RemindTime",
     [](const Target& t, const Facts& facts) {
       const COleDateTime time = DateOf(t.value, 0);
       return facts.type != 0 || facts.named || !IsValid(time) || facts.now < time;
     },
     "the remind time has passed; only a daemon still catching up (run --catch-up) sends it",
     "提醒时间已过；只有仍在补发（run --catch-up）的守护进程才会发送"},
    {Scope::kRemind, "InvalidDate",
     [](const Target& t, const Facts& facts) {
       const COleDateTime end = DateOf(t.value, VAR_DATEVALUEONLY);
       return facts.type == 0 || facts.named || !IsValid(end) || !(end < facts.today);
     },
     "the deadline has passed; the remind can never fire", "截止日期已过；提醒永远不会触发"},
    {Scope::kRemind, "<ReceiverList>",
     [](const Target& t, const Facts&) {
       for (pugi::xml_node receiver : t.node.children()) {
         if (NameIs(receiver, "Receiver") && *receiver.attribute("ID").value() != '\0') {
           return true;
         }
       }
       return false;
     },
     "a remind needs at least one <Receiver ID='...'> in <ReceiverList>",
     "提醒至少需要在 <ReceiverList> 中有一个 <Receiver ID='...'>"},
    {Scope::kRemind, "InvalidDate", NotBeforeStart, "the end date is before the start date DTStart",
     "截止日期早于开始日期 DTStart"},
    {Scope::kRepeat, "RegularType", AbsentOrWithin<0, 3>,
     "the repeat type is 0 (daily), 1 (weekly), 2 (monthly) or 3 (yearly)",
     "重复类型应为 0（每日）、1（每周）、2（每月）或 3（每年）"},
    {Scope::kRepeat, "Interval", AbsentOrWithin<1, 32767>,
     "a repeat interval must be at least 1 (and at most 32767)",
     "重复间隔至少为 1（至多为 32767）"},
    {Scope::kRepeat, "RegularValue", ValueFits<0>,
     "a daily rule's value is 0 (every Interval days), 1 (working days) or 2 (weekends)",
     "每日规则的值应为 0（每隔 Interval 天）、1（工作日）或 2（周末）"},
    {Scope::kRepeat, "RegularValue", ValueFits<1>,
     "a weekly rule needs at least one weekday: bit 1 (2, Sunday) to bit 7 (128, Saturday)",
     "每周规则至少需要一个星期几：第 1 位（2，星期日）到第 7 位（128，星期六）"},
    {Scope::kRepeat, "RegularValue", ValueFits<2>,
     "a month day is 1 to 31, or -1 to -31 counted back from the month's end",
     "每月的日期应为 1 到 31，或从月末倒数的 -1 到 -31"},
    {Scope::kRepeat, "Num",
     [](const Target& t, const Facts& facts) {
       return !facts.limited || WholeIn(t.value, 1, 32767);
     },
     "the number of firings is 1 to 32767", "重复次数应为 1 到 32767"},
    {Scope::kRepeat, "DTEnd", NotBeforeStart, "the end date is before the start date DTStart",
     "结束日期早于开始日期 DTStart"},
    {Scope::kStyle, "<Item>", [](const Target& t, const Facts&) { return !t.node.empty(); },
     "a custom style needs at least one <Item Day='...' Time='HH:MM' />",
     "自定义样式至少需要一个 <Item Day='...' Time='HH:MM' />"},
    {Scope::kItem, "Day", Within<0, 3650>, "the days before the deadline are 0 to 3650",
     "提前天数应为 0 到 3650"},
    {Scope::kItem, "Time",
     [](const Target& t, const Facts&) { return t.value && IsTimeOfDay(*t.value); },
     "a time of day is HH:MM, 00:00 to 23:59", "时间应为 HH:MM，00:00 到 23:59"},
};

// An element a scope applies to, and the element of the definition whose
// line a fault names (style items live in a text of their own).
struct Instance {
  Scope scope;
  pugi::xml_node element;
  pugi::xml_node lineElement;
};

Facts FactsOf(const pugi::xml_node& root, const COleDateTime& now) {
  const pugi::xml_node repeat = Child(root, "Repeat");
  Facts facts;
  facts.type = WholeNumber(root.attribute("Type").value()).value_or(-1);
  facts.regularType = WholeNumber(repeat.attribute("RegularType").as_string("0")).value_or(-1);
  facts.limited = std::strcmp(repeat.attribute("RegularRange").value(), "1") == 0;
  facts.named = !root.attribute("ID").empty();
  facts.start = DateOf(std::string(repeat.attribute("DTStart").value()), VAR_DATEVALUEONLY);
  facts.now = now;
  facts.today = COleDateTime(now.GetYear(), now.GetMonth(), now.GetDay(), 0, 0, 0);
  return facts;
}

// A value as a message quotes it: on one line, and cut when long.
std::string Shown(const std::string& value) {
  size_t end = std::min<size_t>(value.size(), 40);
  // Not inside a UTF-8 sequence.
  while (end < value.size() && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  std::string shown = value.substr(0, end) + (end < value.size() ? "..." : "");
  for (char& ch : shown) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  }
  return shown;
}

pugi::xml_attribute AttributeOf(const Rule& rule, const pugi::xml_node& element) {
  pugi::xml_attribute attribute = element.attribute(rule.name);
  // The spelling the library's own rendering writes.
  if (!attribute && std::strcmp(rule.name, "RegularValue") == 0) {
    attribute = element.attribute("RagularValue");
  }
  return attribute;
}

// What `rule` looks at in `element`.
Target TargetOf(const Rule& rule, const pugi::xml_node& element) {
  const std::string_view name = rule.name;
  Target target;
  if (name == "<>") {
    target.node = element;
  } else if (name[0] == '<') {
    target.node = Child(element, std::string(name.substr(1, name.size() - 2)).c_str());
  } else if (const pugi::xml_attribute attribute = AttributeOf(rule, element)) {
    target.value = attribute.value();
  }
  return target;
}

// How a fault names what `rule` looks at: built only for a fault, as most
// definitions have none.
std::string LabelOf(const Rule& rule, const pugi::xml_node& element, const Target& target,
                    bool chinese) {
  const std::string name = rule.name;
  const std::string missing = chinese ? "（缺少）" : " (missing)";
  if (name == "<>") return std::string("<").append(element.name()).append(">");
  if (name[0] == '<') return target.node ? name : name + missing;
  const pugi::xml_attribute attribute = AttributeOf(rule, element);
  return attribute
             ? std::string(attribute.name()).append("=\"").append(Shown(attribute.value())) + "\""
             : name + missing;
}

}  // namespace

bool WantsChinese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::strncmp(value, "zh", 2) == 0;
  }
  return false;
}

std::string Localized(const char* english, const char* chinese) {
  return WantsChinese() ? chinese : english;
}

struct DefinitionCheck::Parsed {
  std::string text;
  pugi::xml_document document;
  pugi::xml_document style;  // the custom style's items, when they parse

  // "line" or "line:column" of a byte offset into the text.
  std::string Position(ptrdiff_t offset, bool withColumn) const {
    const size_t end = std::min(static_cast<size_t>(std::max<ptrdiff_t>(offset, 0)), text.size());
    const size_t line = 1 + std::count(text.begin(), text.begin() + end, '\n');
    const size_t lineStart = text.rfind('\n', end == 0 ? 0 : end - 1);
    const size_t column = lineStart == std::string::npos || end == 0 ? end + 1 : end - lineStart;
    std::string position = std::to_string(line);
    if (withColumn) position.append(":").append(std::to_string(column));
    return position;
  }

  std::vector<Instance> Instances() const {
    const pugi::xml_node root = document.document_element();
    std::vector<Instance> instances = {{Scope::kRemind, root, root}};
    const long long type = WholeNumber(root.attribute("Type").value()).value_or(-1);
    const pugi::xml_node repeat = Child(root, "Repeat");
    if (type == 1 && repeat) instances.push_back({Scope::kRepeat, repeat, repeat});
    const pugi::xml_node styleDef = Child(root, "RemindStyleDef");
    const pugi::xml_node items = style.document_element();
    if (type == 2 && items) {
      instances.push_back({Scope::kStyle, items, styleDef});
      for (pugi::xml_node item : items.children()) {
        if (NameIs(item, "Item")) instances.push_back({Scope::kItem, item, styleDef});
      }
    }
    return instances;
  }
};

DefinitionCheck::DefinitionCheck() : m_parsed(std::make_unique<Parsed>()) {}
DefinitionCheck::~DefinitionCheck() = default;

bool DefinitionCheck::Parse(const std::string& utf8, const std::string& source,
                            std::string& error) {
  m_source = source;
  m_parsed->text = utf8;
  const pugi::xml_parse_result result = m_parsed->document.load_buffer(
      utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result) {
    error = source + ":" + m_parsed->Position(result.offset, true) + ": " +
            Localized("the definition is not well-formed XML", "定义不是格式正确的 XML") + " (" +
            result.description() + ")";
    return false;
  }
  const pugi::xml_node styleDef = Child(m_parsed->document.document_element(), "RemindStyleDef");
  const std::string styleText = styleDef.text().get();
  m_parsed->style.load_buffer(styleText.data(), styleText.size());
  return true;
}

bool DefinitionCheck::FindFault(const COleDateTime& now, std::string& fault) const {
  const Facts facts = FactsOf(m_parsed->document.document_element(), now);
  const std::vector<Instance> instances = m_parsed->Instances();
  for (const Rule& rule : kRules) {
    for (const Instance& instance : instances) {
      if (instance.scope != rule.scope) continue;
      const Target target = TargetOf(rule, instance.element);
      if (rule.holds(target, facts)) continue;
      const bool chinese = WantsChinese();
      const std::string label = LabelOf(rule, instance.element, target, chinese);
      // Style items sit in a text of their own: their line is the style's.
      const bool ownText = instance.lineElement == instance.element;
      const pugi::xml_node at = target.node && ownText ? target.node : instance.lineElement;
      fault = m_source + ":" + m_parsed->Position(at.offset_debug(), false) + ": " + label + ": " +
              (chinese ? rule.chinese : rule.english);
      return true;
    }
  }
  return false;
}

DefinitionExtras DefinitionCheck::Extras() const {
  const pugi::xml_node root = m_parsed->document.document_element();
  const pugi::xml_node repeat = Child(root, "Repeat");
  DefinitionExtras extras;
  extras.id = root.attribute("ID").value();
  if (const auto state = WholeNumber(root.attribute("State").value())) {
    extras.state = static_cast<short>(*state);
  }
  if (repeat.attribute("RegularValue").empty()) {
    if (const auto value = WholeNumber(repeat.attribute("RagularValue").value())) {
      extras.regularValue = static_cast<short>(*value);
    }
  }
  if (const auto count = WholeNumber(repeat.attribute("Count").value())) {
    extras.count = static_cast<int>(*count);
  }
  return extras;
}

}  // namespace norvhost
