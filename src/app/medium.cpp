#include "app/medium.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/name_lookup.h"

#include <string>
#include <sys/stat.h>

namespace zel {

namespace fs = std::filesystem;

Medium::Medium(const fs::path& given) {
    const std::string name = utf8ToCp1252(given.string());
    struct stat st {};
    if (::stat(given.c_str(), &st) != 0)
        throw PlatformError("A m\355dia " + name + " dada em --medium n\xe3o foi encontrada (" +
                            systemReason(errno) + ")");
    if (S_ISREG(st.st_mode)) {
        image_.emplace(given);
    } else if (S_ISDIR(st.st_mode)) {
        dir_ = fs::absolute(given).lexically_normal();
    } else {
        throw PlatformError("A m\355dia " + name +
                            " dada em --medium n\xe3o \xe9 uma pasta nem uma imagem de CD");
    }
    const std::string description = std::string(Machine::kMediumProgramName) + ".INI";
    if (!findCaseless(dir(), description))
        throw PlatformError("A m\355dia " + name + " n\xe3o tem o arquivo " + description +
                            ", que descreve o kit; nada foi instalado");
}

} // namespace zel
