#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "hfs/CheckPasses.h"
#include "hfs/HfsFormat.h"
#include "hfs/NameOrder.h"

namespace brind {

namespace {

struct FolderState {
  uint32_t children = 0;
  int threads = 0;
  enum Reach : uint8_t { kUnknown, kVisiting, kReached, kCut } reach = kUnknown;
};

std::string EntryWhere(const CatalogEntry& e) { return RecordWhere(e.node, e.record); }

// Threads: each folder has exactly one, naming it; a file thread names its file.
void CheckThreads(const Catalog& catalog, Findings& findings,
                  std::unordered_map<uint32_t, FolderState>& folders) {
  for (const CatalogThread& t : catalog.threads) {
    const std::string where = RecordWhere(t.node, t.record);
    if (t.keyNameLength != 0) findings.Error("thread key", where, "a thread's key carries a name");
    const CatalogEntry* target = catalog.Find(t.id);
    if (target == nullptr || target->folder != t.folder) {
      findings.Error("thread target", where,
                     Format("a %s thread for ID %u, which is no %s", t.folder ? "folder" : "file",
                            t.id, t.folder ? "folder" : "file"));
      continue;
    }
    if (t.folder) ++folders[t.id].threads;
    const auto* name = reinterpret_cast<const uint8_t*>(t.name.data());
    const auto* targetName = reinterpret_cast<const uint8_t*>(target->name.data());
    // The same bytes: only the catalog's key order folds case.
    if (t.parent != target->parent || t.name != target->name)
      findings.Error(
          "thread name", where,
          Format("the thread of %u names parent %u \"%s\", the record is in %u as \"%s\"", t.id,
                 t.parent, findings.Name(name, t.name.size()).c_str(), target->parent,
                 findings.Name(targetName, target->name.size()).c_str()));
  }
}

// Whether a folder is reached from the root along its parents; each folder is settled once.
bool Reached(uint32_t id, const Catalog& catalog,
             std::unordered_map<uint32_t, FolderState>& folders) {
  std::vector<uint32_t> path;
  bool reached = false;
  for (uint32_t at = id;;) {
    if (at == cnid::kRootFolder) {
      reached = true;
      break;
    }
    auto it = folders.find(at);
    if (it == folders.end()) break;  // no such folder: a missing parent, reported elsewhere
    FolderState& s = it->second;
    if (s.reach == FolderState::kReached || s.reach == FolderState::kCut) {
      reached = s.reach == FolderState::kReached;
      break;
    }
    if (s.reach == FolderState::kVisiting) break;  // a loop
    s.reach = FolderState::kVisiting;
    path.push_back(at);
    const CatalogEntry* e = catalog.Find(at);
    at = e->parent;
  }
  for (uint32_t f : path) folders[f].reach = reached ? FolderState::kReached : FolderState::kCut;
  return reached;
}

}  // namespace

void CheckCatalog(const VolumeReader& reader, Findings& findings, CheckSummary& summary) {
  const Catalog& catalog = reader.GetCatalog();
  std::unordered_map<uint32_t, FolderState> folders;
  uint32_t maxId = cnid::kFirstUser - 1;
  uint32_t files = 0;
  const uint32_t next = reader.Mdb().U32(mdb::drNxtCNID);
  for (const CatalogEntry& e : catalog.entries) {
    if (e.name.empty())
      findings.Error("name length", EntryWhere(e), "an empty name; names have 1 to 31 bytes");
    const bool root = e.folder && e.id == cnid::kRootFolder;
    if (e.id < cnid::kFirstUser && !root)
      findings.Error("reserved ID", EntryWhere(e),
                     Format("%s ID %u is reserved (below 16, only the root folder's 2 is given)",
                            e.folder ? "folder" : "file", e.id));
    else if (e.id >= next)
      findings.Error("ID past drNxtCNID", EntryWhere(e),
                     Format("%s ID %u is not below drNxtCNID %u, the next ID to be given",
                            e.folder ? "folder" : "file", e.id, next));
    maxId = std::max(maxId, e.id);
    if (e.folder)
      folders[e.id];
    else
      ++files;
  }
  for (const CatalogThread& t : catalog.threads) maxId = std::max(maxId, t.id);
  CheckThreads(catalog, findings, folders);

  // The root.
  const CatalogEntry* root = catalog.Find(cnid::kRootFolder);
  if (root == nullptr || !root->folder) {
    findings.Error("root", "catalog", "there is no root folder (ID 2)");
    root = nullptr;
  } else {
    if (root->parent != cnid::kRootParent)
      findings.Error("root", EntryWhere(*root),
                     Format("the root folder's parent is %u, expected 1", root->parent));
    const std::string& vn = summary.volumeName;
    if (root->name != vn)
      findings.Warn(
          "root name", EntryWhere(*root),
          Format(
              "the root folder is named \"%s\", the volume \"%s\"",
              findings.Name(reinterpret_cast<const uint8_t*>(root->name.data()), root->name.size())
                  .c_str(),
              findings.Name(reinterpret_cast<const uint8_t*>(vn.data()), vn.size()).c_str()));
  }
  // Parents and valences.
  uint32_t rootFiles = 0, rootFolders = 0;
  for (const CatalogEntry& e : catalog.entries) {
    if (e.id == cnid::kRootFolder && e.folder) continue;
    auto it = folders.find(e.parent);
    if (it == folders.end()) {
      findings.Error("no parent", EntryWhere(e),
                     Format("parent folder %u does not exist", e.parent));
      continue;
    }
    ++it->second.children;
    if (e.parent == cnid::kRootFolder) (e.folder ? rootFolders : rootFiles) += 1;
  }
  for (const CatalogEntry& e : catalog.entries) {
    if (!e.folder) continue;
    const FolderState& f = folders[e.id];
    if (f.threads == 0)
      findings.Error("no thread", EntryWhere(e), Format("folder %u has no thread", e.id));
    if (f.threads > 1)
      findings.Error("threads", EntryWhere(e), Format("folder %u has %d threads", e.id, f.threads));
    if (f.children != e.valence)
      findings.Error(
          "valence", EntryWhere(e),
          Format("folder %u has valence %u, but holds %u entries", e.id, e.valence, f.children));
  }
  // Folders that no path from the root reaches (a loop of parents).
  if (root != nullptr)
    for (const CatalogEntry& e : catalog.entries)
      if (e.folder && e.id != cnid::kRootFolder && folders.count(e.parent) &&
          !Reached(e.id, catalog, folders))
        findings.Error(
            "loop", EntryWhere(e),
            Format("folder %u is not reached from the root (its parents form a loop)", e.id));
  // The MDB's counts against what the catalog holds.
  const auto folderCount = static_cast<uint32_t>(folders.size()) - (root != nullptr ? 1 : 0);
  summary.files = files;
  summary.folders = folderCount;
  const MasterDirectory& m = reader.Mdb();
  auto expect = [&](const char* field, uint32_t stored, uint32_t actual, const char* what) {
    if (stored != actual)
      findings.Error("MDB counts", kMdbWhere,
                     Format("%s is %u, but the catalog holds %u %s", field, stored, actual, what));
  };
  expect("drNmFls", m.U16(mdb::drNmFls), rootFiles, "files in the root folder");
  expect("drNmRtDirs", m.U16(mdb::drNmRtDirs), rootFolders, "folders in the root folder");
  expect("drFilCnt", m.U32(mdb::drFilCnt), files, "files");
  expect("drDirCnt", m.U32(mdb::drDirCnt), folderCount, "folders besides the root");
  if (next <= maxId)
    findings.Error(
        "MDB counts", kMdbWhere,
        Format("drNxtCNID is %u, expected above %u, the highest ID in use", next, maxId));
}

std::vector<std::string> ListTree(const Catalog& catalog, const Findings& findings) {
  std::vector<std::string> lines;
  std::unordered_map<uint32_t, std::vector<const CatalogEntry*>> children;
  const CatalogEntry* rootEntry = nullptr;
  for (const CatalogEntry& e : catalog.entries) {
    if (e.id == cnid::kRootFolder && e.folder)
      rootEntry = &e;
    else
      children[e.parent].push_back(&e);
  }
  if (rootEntry == nullptr) return lines;
  std::unordered_map<uint32_t, bool> seen;
  struct Frame {
    const CatalogEntry* entry;
    unsigned depth;
  };
  std::vector<Frame> stack{{rootEntry, 0}};
  while (!stack.empty()) {
    const Frame f = stack.back();
    stack.pop_back();
    const CatalogEntry& e = *f.entry;
    const std::string name =
        findings.Name(reinterpret_cast<const uint8_t*>(e.name.data()), e.name.size());
    const std::string indent(2 * f.depth, ' ');
    if (e.folder) {
      lines.push_back(
          Format("%s%s/  (folder %u, %u entries)", indent.c_str(), name.c_str(), e.id, e.valence));
      if (seen[e.id]) continue;
      seen[e.id] = true;
      auto it = children.find(e.id);
      if (it == children.end()) continue;
      for (auto c = it->second.rbegin(); c != it->second.rend(); ++c)
        stack.push_back({*c, f.depth + 1});
    } else {
      lines.push_back(Format("%s%s  (file %u, data %u, resource %u bytes)", indent.c_str(),
                             name.c_str(), e.id, e.data.logicalLength, e.resource.logicalLength));
    }
  }
  return lines;
}

}  // namespace brind
