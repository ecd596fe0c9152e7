// ResFile: a resource text file loaded into a tree, and the root query handle on that tree.
#ifndef NYCL_RES_RESFILE_H
#define NYCL_RES_RESFILE_H

#include <cstdio>

#include "nycl/res/ResData.h"
#include "nycl/res/ResInfo.h"

namespace nycl {

class CCacheInterface;

// Owns the tree (its root is a member); its node list holds exactly the root, so queries built
// on it start there. Values naming "[file]" references are replaced by the local copy the file
// cache holds, when a cache is set.
//
// Threads: ProcessFile may be called from any thread; loads are serialised process-wide (the
// include stack and the line buffer are shared by all loads). Queries on a tree must not run
// while a load into the same tree is in progress. Not copyable; see Clone.
class ResFile : public ResInfo {
 public:
  // Loads `file_name`. `cache` is borrowed and may be null; it must outlive this object.
  ResFile(const char* file_name, CCacheInterface* cache);
  // An empty tree named "<blank>", without cache.
  ResFile();
  ~ResFile() override;

  ResFile(const ResFile&) = delete;
  ResFile& operator=(const ResFile&) = delete;

  // Reads the file into the tree, then resolves the templates of the whole tree. A file that
  // cannot be opened (also with surrounding double quotes stripped from its name) or is not a
  // regular file (an include naming a pipe or a device would block or never end), an include
  // nested deeper than 10 files and a file that includes itself are ignored, as are malformed
  // lines.
  void ProcessFile(const char* file_name);

  // Adds one entry; call PostAdd after adding by hand so templates are resolved.
  void AddResource(const char* path, const char* value);
  void PostAdd();

  // A new handle for `path` (upper-cased, split at "." and "*"), or for an inline atom path
  // ended by 0, built on this handle. The caller deletes it; it must not outlive this object.
  ResInfo* LocateResourceData(const char* path);
  ResInfo* LocateResourceData(unsigned int atom, ...);

  // A new file-less copy of the tree with the same name field and no cache; the caller
  // deletes it.
  ResFile* Clone();

  // Writes the tree as resource lines. ProcessFile, on an object without a file cache
  // (which would replace "[file]" references), reads them back into the same tree, except
  // for the entries the file format cannot express; each of those is written as a comment
  // line, which reads back as nothing (a node with entries below it comes back as the way
  // to them, with the null value):
  //  - an entry whose value begins or ends with a blank, holds a double quote, a carriage
  //    return or a line feed, or ends in a backslash that does not follow another one;
  //  - an entry whose path has a name holding ":", a carriage return or a line feed, has an
  //    empty last name, or has more than 256 names.
  // A node without any value (0, only in trees built node by node) is not written; read
  // back, it exists only where an entry lies below it, with the null value of such nodes.
  // No line of a dump reads back as a directive, and no entry's line joins the next one.
  void Dump(FILE* stream);

  // Decides which files ProcessFile may read: the one it is given and each one an "%include"
  // line names, in every form it tries to open. `context` is handed back to `filter`. A
  // refused file is ignored like one that cannot be opened. Without a filter (the default)
  // every file may be read. A load on behalf of someone who must not reach beyond given
  // places sets one before ProcessFile, so that an include cannot lead outside them.
  using FileFilter = bool (*)(const char* file_name, void* context);
  void SetFileFilter(FileFilter filter, void* context);

  // Stores the borrowed cache; returns 1.
  int SetFileCache(CCacheInterface* cache);
  CCacheInterface* GetFileCache() const { return cache_; }

  // "<blank>" for a file-less object, else null.
  const char* GetName() const { return file_name_; }
  ResData* GetRoot() { return &root_; }

 private:
  // Applies the line rules to one logical line held in `line`.
  void ProcessLine(char* line);
  // Opens `file_name` when the filter allows it and it is a regular file.
  FILE* OpenAllowed(const char* file_name);

  ResData root_;
  const char* file_name_;
  CCacheInterface* cache_;
  FileFilter filter_ = nullptr;
  void* filter_context_ = nullptr;
};

}  // namespace nycl

#endif  // NYCL_RES_RESFILE_H
