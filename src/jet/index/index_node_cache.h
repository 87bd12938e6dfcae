// The decoded index nodes of a file, kept beside their pages: each node is decoded once, the
// index writer changes it in place, and it is encoded into its page only when the pager needs
// the page's bytes (read, or written to the log).
#pragma once

#include <cstdint>
#include <memory>

#include "jet/format/format.h"
#include "jet/index/index_page.h"
#include "jet/pager/page_file.h"
#include "jet/pager/page_map.h"

namespace jet {

class IndexNodeCache final : public PageKeeper {
 public:
  // The file's cache, made on first use.
  static IndexNodeCache& of(PageFile& file, const Format& f);
  IndexNodeCache(PageFile& file, const Format& f) : file_(file), f_(f) {}

  PageFile& file() { return file_; }
  // The node of `page`: its newest form if it waits to be encoded, else as its page holds it.
  std::shared_ptr<const IndexNode> node(uint32_t page);
  // Changes the node's page to `node`, which was measured to fit and changes no more unless
  // taken again with release().
  void store(std::shared_ptr<const IndexNode> node);
  // Hands over the node of a page about to be changed. False when the cache lets go of it: its
  // holder may change it in place, and a rollback returns to the page's image. True for a node
  // changed earlier in the transaction and still waiting to be encoded: it is the page's only
  // up-to-date form, and whoever changes it in place first registers with
  // PageFile::onRollback how to undo the change.
  bool release(uint32_t page);

  void writeOut(uint32_t page, uint8_t* out) override;
  void changing(uint32_t page, uint8_t* out) override;
  void operationEnded(bool rolledBack) override;
  void dropAll() override;

 private:
  void keepDecoded(uint32_t page, std::shared_ptr<const IndexNode> node);
  // Forgets the decoded form of `page`, if it is kept.
  void dropDecoded(uint32_t page);
  // Before the first change of `page` in this operation: what waited to be encoded, if anything.
  void saveForRollback(uint32_t page);
  void encode(uint32_t page, uint8_t* out);

  PageFile& file_;
  const Format& f_;
  PageMap<std::shared_ptr<const IndexNode>> decoded_;  // as their pages hold them
  size_t decodedBytes_ = 0;  // the memory the decoded nodes take, about
  PageMap<std::shared_ptr<const IndexNode>> pending_;  // newer than their pages
  PageMap<std::shared_ptr<const IndexNode>> opSaved_;  // null: nothing pending
};

}  // namespace jet
