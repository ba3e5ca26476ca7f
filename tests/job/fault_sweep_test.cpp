// Every single fault of the lower port, one at a time: for a scripted job of three
// tickets, the Nth call of one kind fails, for N = 1, 2, ... until the fault no
// longer fires during the job. Each time the job-outcome rule holds: the job is
// reported printed at most once, and only when the printer received all its bytes
// once and in order; a job not reported has its event record; the port ends idle,
// and the next job on it prints and is reported.
#include <algorithm>
#include <functional>

#include "job_test_support.h"
#include "platform/clock.h"
#include "sim/recording_event_log.h"

namespace {

class FaultSweep : public JobTest {
 protected:
  // Plays the job as the spooler does: a failed start is retried, a write that
  // returns FALSE keeps the rest and is retried after a pause, a few times.
  void spoolFaultedJob(INIPORT* pIniPort, DWORD jobId, const Bytes& job) {
    bool started = false;
    for (int tries = 0; tries < 3 && !started; ++tries) started = startDoc(pIniPort, jobId) != FALSE;
    if (!started) return;
    size_t done = 0;
    for (int held = 0, idle = 0; done < job.size() && held < 4 && idle < 10;) {
      DWORD written = 0;
      const BOOL ok = write(pIniPort, Bytes(job.begin() + static_cast<std::ptrdiff_t>(done), job.end()), &written);
      done += written;
      if (!ok) {
        ++held;
        clockSleep(1000);
      } else if (written == 0) {
        ++idle;
      }
    }
    endDoc(pIniPort);
  }

  // The bytes of the job's own document at the printer.
  Bytes received(INIPORT* pIniPort, DWORD jobId) {
    Bytes data;
    for (const sim::Document& doc : printerOf(pIniPort).documents()) {
      if (doc.jobId == jobId) data.insert(data.end(), doc.data.begin(), doc.data.end());
    }
    return data;
  }

  static int failures() { return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count(); }

  static bool hasRecord(DWORD jobId) {
    const std::string id = "Job " + std::to_string(jobId) + " ";
    for (const std::string& line : sim::recordedEvents()) {
      if (line.find(id) != std::string::npos) return true;
    }
    return false;
  }

  // Runs the sweep for one kind of fault; plan(n) is the fault on the nth call. A
  // fault that loses no byte (a read, a vendor request, a start the spooler retries,
  // a write that takes part and says so) must leave the job printed.
  void sweep(const std::string& what, bool losesBytes, const std::function<sim::Fault(unsigned)>& plan) {
    Bytes job;
    for (BYTE seed = 1; seed <= 3; ++seed) {
      const Bytes t = ticket(seed);
      job.insert(job.end(), t.begin(), t.end());
    }
    const Bytes whole = withEndOfJobRequest(job);
    // Small pieces, so that the job is many writes.
    setting("USBPacketSize", 16);
    const int failuresBefore = failures();
    unsigned n = 1;
    for (; n <= 200; ++n) {
      SCOPED_TRACE(what + " on call " + std::to_string(n));
      INIPORT* port = openPort("USB_SWEEP");
      ASSERT_NE(port, nullptr);
      sim::Printer& printer = printerOf(port);
      spooler().reset();
      sim::clearRecordedEvents();
      const DWORD jobId = 100 + n;
      printer.addFault(plan(n));
      spoolFaultedJob(port, jobId, job);
      const bool fired = printer.faultsFired() > 0;
      printer.clearFaults();

      const std::vector<DWORD> reported = jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED);
      const size_t times = static_cast<size_t>(std::count(reported.begin(), reported.end(), jobId));
      const Bytes got = received(port, jobId);
      const bool complete = got.size() >= job.size() && got.size() <= whole.size() &&
                            std::equal(got.begin(), got.end(), whole.begin());
      EXPECT_LE(times, 1u);
      EXPECT_TRUE(times == 0 || complete) << got.size() << " of " << job.size() << " bytes, reported printed";
      EXPECT_TRUE(times > 0 || hasRecord(jobId)) << "a job not reported printed has no record";
      EXPECT_TRUE(losesBytes || times == 1) << "a fault that loses nothing cost the job";
      expectIdle(port);

      // Whatever the fault left, the next job prints whole and is reported. It may
      // begin with the zeros that finish a command the fault cut.
      spooler().reset();
      EXPECT_TRUE(printJob(port, jobId + 1000, job));
      Bytes next = received(port, jobId + 1000);
      next.erase(next.begin(), std::find_if(next.begin(), next.end(), [](BYTE b) { return b != 0; }));
      EXPECT_EQ(next, whole);
      EXPECT_EQ(jobsSent(JOB_CONTROL_LAST_PAGE_EJECTED), std::vector<DWORD>{jobId + 1000});
      close(port);
      if (!fired || failures() > failuresBefore) break;
    }
    EXPECT_GT(n, 1u) << what << ": the first call's fault did not fire";
  }
};

TEST_F(FaultSweep, WriteFaults) {
  sweep("write error", true, [](unsigned n) { return sim::Fault::failWrite(n, ERROR_GEN_FAILURE); });
  sweep("write cut by a time-out", true, [](unsigned n) { return sim::Fault::partWrite(n, 5, ERROR_TIMEOUT); });
  sweep("short write", false, [](unsigned n) { return sim::Fault::shortWrite(n, 5); });
}

TEST_F(FaultSweep, ReadFaults) {
  sweep("read error", false, [](unsigned n) { return sim::Fault::failRead(n, ERROR_GEN_FAILURE); });
  sweep("empty read", false, [](unsigned n) { return sim::Fault::zeroRead(n); });
  sweep("cut read", false, [](unsigned n) { return sim::Fault::cutRead(n, 2); });
}

TEST_F(FaultSweep, VendorRequestAndStartFaults) {
  sweep("vendor request error", false, [](unsigned n) { return sim::Fault::failVendorRequest(n, ERROR_GEN_FAILURE); });
  sweep("start of document error", false, [](unsigned n) {
    sim::Fault fault = sim::Fault::failStartDoc(ERROR_GEN_FAILURE);
    fault.nth = n;
    return fault;
  });
}

}  // namespace
