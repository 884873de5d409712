#include "server/StoreWorkers.h"

#include <iostream>

namespace Scores {

TStoreWorkers::TStoreWorkers(std::unique_ptr<TScoreStore> writer, TOpen open, TWorkerSettings settings)
    : Open(std::move(open)), Settings(settings), Writer(std::move(writer)) {
  WriterThread = std::thread([this] { Write(); });
  for (size_t i = 0; i < Settings.Readers; ++i) ReaderThreads.emplace_back([this] { ReadLoop(); });
}

TStoreWorkers::~TStoreWorkers() { Stop(); }

bool TStoreWorkers::Add(TScoreEntry entry, TDone done) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (Stopping || Results.size() >= Settings.MaxWaitingResults) return false;
    Results.emplace_back(std::move(entry), std::move(done));
  }
  WriterWake.notify_one();
  return true;
}

bool TStoreWorkers::Write(TRead job) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (Stopping || Results.size() + Writes.size() >= Settings.MaxWaitingResults) return false;
    Writes.push_back(std::move(job));
  }
  WriterWake.notify_one();
  return true;
}

bool TStoreWorkers::Read(TRead job) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (Stopping || Reads.size() >= Settings.MaxWaitingReads) return false;
    Reads.push_back(std::move(job));
  }
  ReaderWake.notify_one();
  return true;
}

void TStoreWorkers::Stop() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
  }
  WriterWake.notify_all();
  ReaderWake.notify_all();
  if (WriterThread.joinable()) WriterThread.join();
  for (auto& reader : ReaderThreads)
    if (reader.joinable()) reader.join();
}

void TStoreWorkers::Write() {
  for (;;) {
    std::vector<TScoreEntry> batch;
    std::vector<TDone> waiting;
    TRead job;
    {
      std::unique_lock<std::mutex> hold(Lock);
      WriterWake.wait(hold, [this] { return Stopping || !Results.empty() || !Writes.empty(); });
      if (Results.empty() && Writes.empty()) return;
      if (!Writes.empty()) {
        job = std::move(Writes.front());
        Writes.pop_front();
      }
      while (!Results.empty() && batch.size() < Settings.MaxBatch) {
        batch.push_back(std::move(Results.front().first));
        waiting.push_back(std::move(Results.front().second));
        Results.pop_front();
      }
    }
    if (job) job(Writer.get());
    if (batch.empty()) continue;
    bool stored = true;
    try {
      Writer->Add(batch);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << batch.size() << " results not stored: " << e.what() << std::endl;
      stored = false;
    }
    for (auto& done : waiting) done(stored);
  }
}

void TStoreWorkers::ReadLoop() {
  std::unique_ptr<TScoreStore> store;
  // Connected before the first page is asked for; should that fail, the first page tries again.
  const auto open = [&] {
    try {
      if (!store) store = Open();
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    }
  };
  open();
  for (;;) {
    TRead job;
    bool stopping;
    {
      std::unique_lock<std::mutex> hold(Lock);
      ReaderWake.wait(hold, [this] { return Stopping || !Reads.empty(); });
      if (Reads.empty()) return;
      job = std::move(Reads.front());
      Reads.pop_front();
      stopping = Stopping;
    }
    if (stopping) {
      job(nullptr);
      continue;
    }
    open();
    job(store.get());
  }
}

}  // namespace Scores
