// The passes of the volume check, run in this order by CheckVolume: the master directory
// blocks, each B-tree's map, the catalog, then allocation (every extent claimed, the bitmap
// against the claims). Each reports to the same Findings, in disk order within the pass.
#pragma once

#include <string>
#include <vector>

#include "hfs/BTree.h"
#include "hfs/ByteSource.h"
#include "hfs/Findings.h"
#include "hfs/MasterDirectory.h"
#include "hfs/VolumeChecker.h"
#include "hfs/VolumeReader.h"

namespace brind {

// The alternate MDB against the MDB: its signature and the fields a format fixes.
void CheckAlternateMdb(ByteSource& source, const MasterDirectory& mdb, Findings& findings);

// The map records against the nodes the walk reached, and the header's free count.
void CheckBTreeMap(const BTreeFile& tree, Findings& findings);

// Threads, parents, valences, the root, reachability, and the MDB's counts and next ID.
void CheckCatalog(const VolumeReader& reader, Findings& findings, CheckSummary& summary);

// Every extent of the B-tree files and of every fork claimed block by block, then the volume
// bitmap against the claims and drFreeBks against the bitmap.
void CheckAllocation(VolumeReader& reader, ByteSource& source, Findings& findings,
                     CheckSummary& summary);

// The folders and files from the root down, one line each, indented.
std::vector<std::string> ListTree(const Catalog& catalog, const Findings& findings);

}  // namespace brind
