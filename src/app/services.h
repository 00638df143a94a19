#pragma once
// What the window reaches the system through. Services::defaults() gives the real platform layer;
// tests replace single members with fakes.

#include <memory>

namespace tessaly {

class FileSystem;
class Dialogs;

struct Services {
    std::shared_ptr<FileSystem> fs;
    std::shared_ptr<Dialogs> dialogs;

    static Services defaults();
};

}  // namespace tessaly
