#include "jet/format/sort_order.h"

namespace jet {

namespace {

struct SortOrder {
  uint16_t number;
  const char* name;
  uint16_t codePage;
};

// The sort orders Access offers, by locale number, with their Windows code page.
constexpr SortOrder kSortOrders[] = {
    {1025, "Arabic", 1256},          {1026, "Bulgarian", 1251},        {1027, "Catalan", 1252},
    {1028, "Chinese (Taiwan)", 950}, {1029, "Czech", 1250},            {1030, "Danish", 1252},
    {1031, "German", 1252},          {1032, "Greek", 1253},            {1033, "General", 1252},
    {1034, "Spanish (traditional)", 1252}, {1035, "Finnish", 1252},   {1036, "French", 1252},
    {1037, "Hebrew", 1255},          {1038, "Hungarian", 1250},        {1039, "Icelandic", 1252},
    {1040, "Italian", 1252},         {1041, "Japanese", 932},          {1042, "Korean", 949},
    {1043, "Dutch", 1252},           {1044, "Norwegian", 1252},        {1045, "Polish", 1250},
    {1046, "Portuguese", 1252},      {1048, "Romanian", 1250},         {1049, "Cyrillic", 1251},
    {1050, "Croatian", 1250},        {1051, "Slovak", 1250},           {1052, "Albanian", 1250},
    {1053, "Swedish/Finnish", 1252}, {1054, "Thai", 874},              {1055, "Turkish", 1254},
    {1058, "Ukrainian", 1251},       {1060, "Slovenian", 1250},        {1061, "Estonian", 1257},
    {1062, "Latvian", 1257},         {1063, "Lithuanian", 1257},       {1066, "Vietnamese", 1258},
    {1071, "Macedonian", 1251},      {2052, "Chinese (PRC)", 936},     {2074, "Serbian", 1250},
    {3082, "Spanish (modern)", 1252}, {3098, "Serbian (Cyrillic)", 1251},
};

const SortOrder* find(uint16_t number) {
  for (const auto& s : kSortOrders) {
    if (s.number == number) return &s;
  }
  return nullptr;
}

}  // namespace

std::string sortOrderName(uint16_t sortOrder) {
  const SortOrder* s = find(sortOrder);
  return std::to_string(sortOrder) + (s ? std::string(" (") + s->name + ")" : "");
}

uint16_t sortOrderCodePage(uint16_t sortOrder) {
  const SortOrder* s = find(sortOrder);
  return s ? s->codePage : 0;
}

}  // namespace jet
