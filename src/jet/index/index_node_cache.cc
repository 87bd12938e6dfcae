#include "jet/index/index_node_cache.h"

#include "jet/base/error.h"

namespace jet {

IndexNodeCache& IndexNodeCache::of(PageFile& file, const Format& f) {
  if (!file.keeper()) file.setKeeper(std::make_unique<IndexNodeCache>(file, f));
  // The index nodes are the only pages kept decoded.
  return static_cast<IndexNodeCache&>(*file.keeper());
}

std::shared_ptr<const IndexNode> IndexNodeCache::node(uint32_t page) {
  if (auto p = pending_.find(page); p != pending_.end()) return p->second;
  if (auto d = decoded_.find(page); d != decoded_.end()) return d->second;
  auto node = std::make_shared<IndexNode>(decodeIndexNode(file_, f_, page));
  keepDecoded(page, node);
  return node;
}

void IndexNodeCache::keepDecoded(uint32_t page, std::shared_ptr<const IndexNode> node) {
  if (decoded_.size() >= 4096) decoded_.clear();  // bounded, as the page cache is
  decoded_[page] = std::move(node);
}

void IndexNodeCache::saveForRollback(uint32_t page) {
  if (opSaved_.count(page)) return;
  auto p = pending_.find(page);
  opSaved_.emplace(page, p == pending_.end() ? nullptr : p->second);
}

void IndexNodeCache::store(std::shared_ptr<const IndexNode> node) {
  const uint32_t page = node->page;
  file_.keptChange(page);
  saveForRollback(page);
  decoded_.erase(page);
  pending_[page] = std::move(node);
}

bool IndexNodeCache::release(uint32_t page) {
  file_.prepareChange(page);
  saveForRollback(page);
  decoded_.erase(page);
  return pending_.count(page) != 0;
}

void IndexNodeCache::encode(uint32_t page, uint8_t* out) {
  auto p = pending_.find(page);
  if (p == pending_.end()) internalFault("the pager asked for an index page no node waits for");
  // Every node was measured before it was stored.
  if (!writeIndexNode(out, f_, *p->second)) internalFault("an index node outgrew its page");
}

void IndexNodeCache::writeOut(uint32_t page, uint8_t* out) {
  encode(page, out);
  auto p = pending_.find(page);
  keepDecoded(page, std::move(p->second));
  pending_.erase(p);
}

void IndexNodeCache::changing(uint32_t page, uint8_t* out) {
  saveForRollback(page);
  if (out) encode(page, out);
  pending_.erase(page);
  decoded_.erase(page);
}

void IndexNodeCache::operationEnded(bool rolledBack) {
  if (rolledBack) {
    for (auto& [page, saved] : opSaved_) {
      decoded_.erase(page);
      if (saved) pending_[page] = std::move(saved);
      else pending_.erase(page);
    }
  }
  opSaved_.clear();
}

void IndexNodeCache::dropAll() {
  decoded_.clear();
  pending_.clear();
  opSaved_.clear();
}

}  // namespace jet
