// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One batch command while it runs (encryption, decryption, wipe): the values
// its steps hand on to each other. It is made when the batch starts and goes
// when the batch ends, so nothing of it, above all the password, outlives the
// batch or leaks into the next one.
//
// It also counts what is already done, for the question before a stop.
// Stopping once part of a batch is finished leaves it half done (some files
// encrypted and others not, ".vlt" files but no archive, sources not wiped),
// so the user says so first; a stop before anything is finished only undoes
// the step, and needs no question.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/secret_string.h"
#include "platform/staged_file.h"
#include "transforms/sealed_key.h"

namespace voltare::app {

class RunningBatch {
 public:
  // Held by each batch command while it runs. Batches nest (the wipe after
  // an encryption): the outermost holder makes the batch and ends it, an
  // inner one works in the batch that is running.
  class Scope {
   public:
    Scope(std::unique_ptr<RunningBatch>& slot, std::string statusText) : slot_(slot), owner_(slot == nullptr) {
      if (owner_) slot_ = std::make_unique<RunningBatch>(std::move(statusText));
    }
    ~Scope() {
      if (owner_) slot_.reset();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    RunningBatch& operator*() const { return *slot_; }
    RunningBatch* operator->() const { return slot_.get(); }

   private:
    std::unique_ptr<RunningBatch>& slot_;
    bool owner_;
  };

  // `statusText`: the status line as the batch found it.
  explicit RunningBatch(std::string statusText) : SavedStatusText(std::move(statusText)) {}
  RunningBatch(const RunningBatch&) = delete;
  RunningBatch& operator=(const RunningBatch&) = delete;

  // The last password prompt's answer; burned with the batch.
  common::SecretString Password;
  // The sealed files' keys derived in this batch, one derivation per
  // password and salt; burned with the batch.
  std::shared_ptr<transforms::SealedKeyRing> SealedKeys = std::make_shared<transforms::SealedKeyRing>();
  // Whether the bundle box was checked at that prompt.
  bool Bundle = false;
  // The archive viewer's chosen entries (positions in the archive), until
  // they are taken out.
  std::optional<std::vector<std::size_t>> ExtractSelection;
  // The status line to show again when the batch's files are done.
  std::string SavedStatusText;

  // Each folder the batch writes into is cleaned of staging leftovers once,
  // however many files go there.
  platform::StagingBatch Staging;

  // A file of the batch is encrypted, decrypted or wiped.
  void PieceDone() { ++pieces_; }
  bool StopLeavesHalfDone() const { return pieces_ > 0; }

 private:
  std::size_t pieces_ = 0;
};

}  // namespace voltare::app
