#include "jet/index/index_node_cache.h"

#include <algorithm>

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

namespace {

// Decoded nodes take several times their page (an entry of a few bytes on the page is a whole
// IndexEntry here), so they are bounded by the memory they take, not by their number.
constexpr size_t kDecodedBytes = 8u << 20;

size_t bytesOf(const IndexNode& node) {
  size_t n = sizeof(IndexNode) + node.entries.capacity() * sizeof(IndexEntry);
  for (const IndexEntry& e : node.entries) n += e.key.heapBytes();
  return n;
}

}  // namespace

void IndexNodeCache::keepDecoded(uint32_t page, std::shared_ptr<const IndexNode> node) {
  dropDecoded(page);
  const size_t bytes = bytesOf(*node);
  if (decodedBytes_ + bytes > kDecodedBytes) {
    decoded_.clear();
    decodedBytes_ = 0;
  }
  decoded_[page] = std::move(node);
  decodedBytes_ += bytes;
}

void IndexNodeCache::dropDecoded(uint32_t page) {
  auto d = decoded_.find(page);
  if (d == decoded_.end()) return;
  decodedBytes_ -= std::min(decodedBytes_, bytesOf(*d->second));
  decoded_.erase(d);
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
  dropDecoded(page);
  pending_[page] = std::move(node);
}

bool IndexNodeCache::release(uint32_t page) {
  file_.prepareChange(page);
  saveForRollback(page);
  dropDecoded(page);
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
  dropDecoded(page);
}

void IndexNodeCache::operationEnded(bool rolledBack) {
  if (rolledBack) {
    for (auto& [page, saved] : opSaved_) {
      dropDecoded(page);
      if (saved) pending_[page] = std::move(saved);
      else pending_.erase(page);
    }
  }
  opSaved_.clear();
}

void IndexNodeCache::dropAll() {
  decoded_.clear();
  decodedBytes_ = 0;
  pending_.clear();
  opSaved_.clear();
}

}  // namespace jet
