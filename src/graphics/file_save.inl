#pragma once

#include "base/stream.h"

namespace fk {

template <typename Save>
void saveStreamToFile(const std::string& path, Save&& save) {
    FileStream file(path, FileStream::Mode::Replace);
    save(file);
    file.close();
}

}  // namespace fk
