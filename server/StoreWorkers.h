#pragma once
// The database work, off the event loop: one writer that commits the results waiting at
// that moment together (one sync of the disk for all of them, so durable results still
// come by the thousand a second), and a few readers for the pages. Both queues are
// bounded: when they are full the caller answers "busy" at once instead of piling up.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "server/ScoreStore.h"

namespace Scores {

struct TWorkerSettings {
  size_t Readers = 2;
  // Results waiting for their commit; a few seconds' worth at the rate the disk takes.
  size_t MaxWaitingResults = 4000;
  size_t MaxBatch = 1000;
  // Pages waiting for a reader.
  size_t MaxWaitingReads = 256;
};

class TStoreWorkers {
 public:
  using TOpen = std::function<std::unique_ptr<TScoreStore>()>;
  // writer is the store opened (and checked) at start; readers open their own with open.
  TStoreWorkers(std::unique_ptr<TScoreStore> writer, TOpen open, TWorkerSettings settings = {});
  ~TStoreWorkers();
  TStoreWorkers(const TStoreWorkers&) = delete;
  TStoreWorkers& operator=(const TStoreWorkers&) = delete;

  // done(true) once the result is committed, done(false) when the database failed; from
  // the writer's thread. False, without calling done, when the queue is full or stopped.
  using TDone = std::function<void(bool stored)>;
  bool Add(TScoreEntry entry, TDone done);

  // The job runs on a reader with its store, or with nullptr when the database cannot be
  // reached. False, without running it, when the queue is full or stopped.
  using TRead = std::function<void(TScoreStore*)>;
  bool Read(TRead job);

  // The job runs on the writer, between batches, with its store. False, without running
  // it, when the queue is full or stopped.
  bool Write(TRead job);

  // Results and jobs already queued are committed; reads still waiting run with nullptr. Returns
  // when every job has had its answer.
  void Stop();

 private:
  void Write();
  void ReadLoop();

  TOpen Open;
  TWorkerSettings Settings;
  std::unique_ptr<TScoreStore> Writer;
  std::mutex Lock;
  std::condition_variable WriterWake, ReaderWake;
  bool Stopping = false;
  std::deque<std::pair<TScoreEntry, TDone>> Results;
  std::deque<TRead> Reads;
  std::deque<TRead> Writes;
  std::thread WriterThread;
  std::vector<std::thread> ReaderThreads;
};

}  // namespace Scores
