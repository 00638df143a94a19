#pragma once
// A workspace over the in-memory file system, with its log and icon list recorded.

#include <gtest/gtest.h>

#include "common/oplog.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"

namespace tessaly::test {

class WorkspaceFixture : public ::testing::Test {
protected:
    FakeFileSystem fs;
    RecordingSink sink;
    OperationLog log{sink};
    FakeIconList icons;
    Workspace ws;
    WorkspaceEditor editor{ws, fs, icons, log};
};

}  // namespace tessaly::test
