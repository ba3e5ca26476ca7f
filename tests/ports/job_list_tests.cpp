// The port's job list, as the end of a document, a failed write and the status
// thread complete it, seen from the recording spooler.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/spooler.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "ports_test_support.h"
#include "sim/recording_spooler.h"

namespace {

class JobList : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::spooler().reset();
    pIniPort = createRecord(WSTR("JOBS_PORT"));
    ASSERT_NE(pIniPort, nullptr);
  }
  void TearDown() override {
    if (pIniPort != nullptr) removeRecord(pIniPort);
    sim::spooler().reset();
  }

  // Starts a job as the start of a document does: newest first, with its own printer handle.
  HANDLE startJob(DWORD jobId) {
    INIJOB* pIniJob = AllocIniJob(WSTR("Jobs Printer"));
    EXPECT_NE(pIniJob, nullptr);
    EXPECT_TRUE(spoolerOpenPrinter(pIniJob->pPrinterName, &pIniJob->hPrinter, nullptr));
    pIniJob->JobId = jobId;
    EnterCriticalSection(&SplSem);
    pIniJob->pNext = pIniPort->pIniJob;
    pIniPort->pIniJob = pIniJob;
    LeaveCriticalSection(&SplSem);
    return pIniJob->hPrinter;
  }

  std::vector<DWORD> listedIds() const {
    std::vector<DWORD> ids;
    for (INIJOB* pIniJob = pIniPort->pIniJob; pIniJob != nullptr; pIniJob = pIniJob->pNext) ids.push_back(pIniJob->JobId);
    return ids;
  }

  static std::vector<DWORD> reportedIds(DWORD command) {
    std::vector<DWORD> ids;
    for (const sim::SpoolerRecord& record : sim::spooler().calls(sim::SpoolerCall::SetJob)) {
      EXPECT_EQ(record.command, command);
      EXPECT_EQ(record.level, 0u);
      ids.push_back(record.jobId);
    }
    return ids;
  }

  INIPORT* pIniPort = nullptr;
};

TEST_F(JobList, CompletingAJobCompletesItAndEveryOlderJobAndKeepsNewerOnes) {
  startJob(5);
  startJob(6);
  startJob(7);
  ASSERT_EQ(listedIds(), (std::vector<DWORD>{7, 6, 5}));

  completeIniJobs(pIniPort, 6, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_EQ(reportedIds(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{6, 5}));
  EXPECT_EQ(listedIds(), (std::vector<DWORD>{7}));
  EXPECT_EQ(sim::spooler().openPrinterCount(), 1);

  completeIniJobs(pIniPort, 8, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_EQ(reportedIds(JOB_CONTROL_LAST_PAGE_EJECTED).size(), 2u);
  EXPECT_EQ(listedIds(), (std::vector<DWORD>{7}));
}

TEST_F(JobList, CompletingAllReportsNewestFirstWithTheGivenCommand) {
  startJob(5);
  startJob(6);
  startJob(7);
  completeIniJobs(pIniPort, static_cast<DWORD>(-1), JOB_CONTROL_DELETE);
  EXPECT_EQ(reportedIds(JOB_CONTROL_DELETE), (std::vector<DWORD>{7, 6, 5}));
  EXPECT_TRUE(listedIds().empty());
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
}

TEST_F(JobList, OfTwoJobsWithOneIdTheOlderIsCompletedWithEverythingOlder) {
  startJob(3);
  const HANDLE older = startJob(5);
  startJob(4);
  const HANDLE newer = startJob(5);
  startJob(6);

  completeIniJobs(pIniPort, 5, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_EQ(reportedIds(JOB_CONTROL_LAST_PAGE_EJECTED), (std::vector<DWORD>{5, 3}));
  const std::vector<sim::SpoolerRecord> setJobs = sim::spooler().calls(sim::SpoolerCall::SetJob);
  ASSERT_FALSE(setJobs.empty());
  EXPECT_EQ(setJobs[0].printer, older);
  EXPECT_EQ(listedIds(), (std::vector<DWORD>{6, 5, 4}));
  EXPECT_EQ(pIniPort->pIniJob->pNext->hPrinter, newer);
}

TEST_F(JobList, AFailedSetJobStillFreesTheJob) {
  startJob(9);
  sim::spooler().failNext(sim::SpoolerCall::SetJob, ERROR_INVALID_HANDLE);
  completeIniJobs(pIniPort, 9, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_TRUE(listedIds().empty());
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
}

TEST_F(JobList, ClearingPrinterStatusPostsAnEmptyStatusOnlyWhenOneWasPosted) {
  startJob(1);
  startJob(2);
  pIniPort->status.PrinterStatus = 0;
  ClearPrinterStatusAndIniJobs(pIniPort);
  EXPECT_TRUE(sim::spooler().calls(sim::SpoolerCall::SetPort).empty());
  // Jobs that never reached their end are freed, never reported printed.
  EXPECT_TRUE(reportedIds(JOB_CONTROL_LAST_PAGE_EJECTED).empty());
  EXPECT_TRUE(listedIds().empty());
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
  EXPECT_EQ(pIniPort->doc.Jobs.notPrinted, 2u);

  sim::spooler().reset();
  startJob(3);
  pIniPort->status.PrinterStatus = PORT_STATUS_PAPER_OUT;
  ClearPrinterStatusAndIniJobs(pIniPort);
  const std::vector<sim::SpoolerRecord> posts = sim::spooler().calls(sim::SpoolerCall::SetPort);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].name, "JOBS_PORT");
  EXPECT_EQ(posts[0].level, 3u);
  EXPECT_EQ(posts[0].status, 0u);
  EXPECT_EQ(posts[0].severity, 0u);
  EXPECT_FALSE(posts[0].hasStatusText);
  EXPECT_EQ(pIniPort->status.PrinterStatus, 0u);
  EXPECT_TRUE(reportedIds(JOB_CONTROL_LAST_PAGE_EJECTED).empty());
}

TEST_F(JobList, RemovingThePortFreesItsJobsWithoutTellingTheSpooler) {
  startJob(1);
  startJob(2);
  removeRecord(pIniPort);
  pIniPort = nullptr;
  EXPECT_TRUE(sim::spooler().calls(sim::SpoolerCall::SetJob).empty());
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
}

TEST(PortRecord, ANewRecordIsListedFirstWithItsInitialState) {
  INIPORT* pFirst = createRecord(WSTR("RECORD_A"));
  INIPORT* pSecond = createRecord(WSTR("RECORD_B"));
  ASSERT_NE(pFirst, nullptr);
  ASSERT_NE(pSecond, nullptr);
  EXPECT_EQ(portListHead, pSecond);
  EXPECT_EQ(pSecond->pNext, pFirst);

  EXPECT_EQ(pSecond->signature, static_cast<DWORD>(PJ_SIGNATURE));
  EXPECT_EQ(lstrcmpW(pSecond->pszPortName, WSTR("RECORD_B")), 0);
  EXPECT_STREQ(pSecond->flash.FlashProgress, "3,0,0,P,NONE");
  EXPECT_EQ(pSecond->flags, 0u);
  EXPECT_EQ(pSecond->pIniJob, nullptr);
  EXPECT_EQ(pSecond->status.WakeUp, nullptr);
  EXPECT_EQ(pSecond->status.LastStatusLength, 0u);
  // PortFree is the port's lock: free at creation, and taking it keeps it taken.
  EXPECT_EQ(WaitForSingleObject(pSecond->PortFree, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(pSecond->PortFree, 0), WAIT_TIMEOUT);
  SetEvent(pSecond->PortFree);

  removeRecord(pSecond);
  EXPECT_EQ(portListHead, pFirst);
  removeRecord(pFirst);
}

}  // namespace
