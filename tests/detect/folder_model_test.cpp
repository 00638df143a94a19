// The folder pane's tree on Windows: "PC" on top with the drives, paths joined with "\" and found
// again whatever their letter case or separators.

#include <QApplication>
#include <QTest>

#include <map>

#include "detect/qt_folder_model.h"
#include "platform/system.h"

using namespace tessaly;

namespace {

class Listing final : public FolderListing {
public:
    explicit Listing(std::vector<std::string> names) : names_(std::move(names)) {}
    bool next(FolderEntry& entry) override
    {
        if (at_ == names_.size())
            return false;
        entry = {names_[at_++], FolderEntry::Kind::Folder, std::nullopt};
        return true;
    }

private:
    std::vector<std::string> names_;
    std::size_t at_ = 0;
};

class Drives final : public FolderSystem {
public:
    std::map<std::string, std::vector<std::string>> folders{
        {"C:\\", {"Windows", "Users"}}, {"C:\\Users", {"u"}}, {"C:\\Users\\u", {}}};
    Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override
    {
        const auto it = folders.find(folder);
        if (it == folders.end())
            return SysError{3, "not found", ErrorKind::NotFound};
        return std::unique_ptr<FolderListing>(std::make_unique<Listing>(it->second));
    }
    std::optional<FileFacts> lookup(const std::string&) override { return std::nullopt; }
    std::vector<std::string> roots() override { return {"C:\\", "D:\\"}; }
};

}  // namespace

class FolderModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowsTreeStartsAtThePcWithItsDrives()
    {
        Drives drives;
        FolderTreeModel model(drives, nullptr, PathStyle::Windows);
        const QModelIndex pc = model.index(0, 0);
        QCOMPARE(model.data(pc).toString(), QStringLiteral("PC"));
        QVERIFY(model.canFetchMore(pc));
        model.fetchMore(pc);
        QCOMPARE(model.rowCount(pc), 2);
        QCOMPARE(model.path(model.index(1, 0, pc)), std::string("D:\\"));
        const QModelIndex u = model.indexOf("c:/users\\U");
        QVERIFY(u.isValid());
        QCOMPARE(model.path(u), std::string("C:\\Users\\u"));
        QVERIFY(!model.indexOf("E:\\x").isValid());
    }
};

QTEST_MAIN(FolderModelTest)
#include "folder_model_test.moc"
