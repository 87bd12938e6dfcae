#include "jet/database/catalog.h"

#include "jet/base/error.h"
#include "jet/pager/page_file.h"
#include "jet/format/row_codec.h"
#include "jet/database/table.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace {

DataPage pageView(const PageRef& p, const Format& f) { return DataPage(Bytes(p->data(), p->size()), f); }

}  // namespace

std::vector<CatalogEntry> readCatalog(PageFile& file, const Format& f) {
  TableDef def = readTableDef(file, f, 2);
  auto col = [&](const char* n) {
    for (size_t i = 0; i < def.columns.size(); ++i) if (sameName(def.columns[i].name, n)) return int(i);
    corrupt(std::string("the catalog has no column ") + n);
  };
  int cName = col("Name"), cId = col("Id"), cParent = col("ParentId"), cType = col("Type"), cFlags = col("Flags");
  int cProps = -1;  // a catalog may lack it
  for (size_t i = 0; i < def.columns.size(); ++i) if (sameName(def.columns[i].name, "LvProp")) cProps = int(i);
  std::vector<CatalogEntry> out;
  for (uint32_t page : readUsageMap(file, f, def.usedPagesMap)) {
    PageRef pg = file.read(page);
    DataPage dp = pageView(pg, f);
    if (!dp.isData() || dp.owner() != def.page) continue;
    for (uint16_t r = 0; r < dp.rowCount(); ++r) {
      RowSlot s = dp.slot(r);
      if (s.deleted) continue;
      PageRef hold;
      RawRow raw = splitRow(f, def, resolveRow(file, f, RowId{page, uint8_t(r)}, hold));
      CatalogEntry e;
      Value name = decodeField(file, f, def.columns[cName], raw, cName);
      if (name.kind != Value::Kind::Text) continue;
      e.name = name.s;
      e.id = int32_t(decodeField(file, f, def.columns[cId], raw, cId).i);
      e.parentId = int32_t(decodeField(file, f, def.columns[cParent], raw, cParent).i);
      e.type = int16_t(decodeField(file, f, def.columns[cType], raw, cType).i);
      e.flags = uint32_t(decodeField(file, f, def.columns[cFlags], raw, cFlags).i);
      if (e.isTable() && cProps >= 0) {
        const Value props = decodeField(file, f, def.columns[cProps], raw, cProps);
        if (props.kind == Value::Kind::Binary) e.properties = props.s;
      }
      out.push_back(std::move(e));
    }
  }
  return out;
}

}  // namespace jet
