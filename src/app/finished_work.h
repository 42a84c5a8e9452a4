#pragma once
// How much of the running batch is already done, for the question before a
// stop. Stopping once part of a batch is finished leaves it half done (some
// files encrypted and others not, ".vlt" files but no archive, sources not
// wiped), so the user says so first; a stop before anything is finished only
// undoes the step, and needs no question.

#include <cstddef>

#include "platform/staged_file.h"

namespace voltare::app {

class FinishedWork {
 public:
  // Held by each batch command while it runs. Batches nest (the wipe after
  // an encryption): the count covers the outermost one. A batch also cleans
  // each folder of staging leftovers only once, however many files it
  // writes there.
  class Batch {
   public:
    explicit Batch(FinishedWork& work) : work_(work) {
      if (work_.depth_++ == 0) work_.pieces_ = 0;
    }
    ~Batch() {
      if (--work_.depth_ == 0) work_.pieces_ = 0;
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    FinishedWork& work_;
    platform::StagingBatch staging_;
  };

  // A file of the running batch is encrypted, decrypted or wiped.
  void PieceDone() {
    if (depth_ > 0) ++pieces_;
  }
  bool StopLeavesHalfDone() const { return pieces_ > 0; }

 private:
  int depth_ = 0;
  std::size_t pieces_ = 0;
};

}  // namespace voltare::app
