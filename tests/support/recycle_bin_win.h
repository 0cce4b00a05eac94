#pragma once
// A stand-in for the shell's file operation (IFileOperation), put in through the program's factory
// seam: Wine has no Recycle Bin to move files into. It keeps what the program asks for and acts as
// the shell does: it tells the progress sink before each item goes (with or without
// TSF_DELETE_RECYCLE_IF_POSSIBLE, as the test chooses), honours the sink's refusal, and "recycles"
// by moving the real file into a bin folder, or deletes it when the volume is to have no bin.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "support/temp_dir_win.h"
#include "ui/toolkit/file_operation.h"

namespace callwright::test {

class FakeRecycleBin {
 public:
  enum class Volume {
    WithBin,       // PreDeleteItem gets TSF_DELETE_RECYCLE_IF_POSSIBLE; the file moves to Folder()
    WithoutBin,    // PreDeleteItem gets no such flag; the file would be deleted for good
    NoOperation,   // the factory fails, as where the system has no file operation
    Unimplemented, // the object is made but its methods answer E_NOTIMPL, as Wine 8's does
  };

  // Installs itself as the factory until destroyed.
  explicit FakeRecycleBin(Volume volume = Volume::WithBin);
  ~FakeRecycleBin();
  FakeRecycleBin(const FakeRecycleBin&) = delete;
  FakeRecycleBin& operator=(const FakeRecycleBin&) = delete;

  void SetVolume(Volume volume);

  struct Operation {
    DWORD thread = 0;                 // where it was made
    APTTYPE apartment = APTTYPE_CURRENT;  // of that thread (APTTYPE_CURRENT: none)
    DWORD flags = 0;                  // the last SetOperationFlags
    std::vector<std::wstring> deleted;  // DeleteItem, as file system paths
    bool advised = false;             // a progress sink was given (and taken back)
    bool unadvised = false;
    bool performed = false;
    HRESULT result = S_OK;            // of PerformOperations
  };
  std::vector<Operation> Operations() const;
  // Where the recycled files went.
  const std::wstring& Folder() const { return bin_.Path(); }

 private:
  class FileOperation;
  static HRESULT Create(IFileOperation** operation);

  TempDir bin_;
  mutable std::mutex lock_;
  Volume volume_;
  std::vector<Operation> operations_;
  FileOperationFactory previous_;
};

}  // namespace callwright::test
