#pragma once

// The translation context of the system's pieces' texts (see startup.h).

#include <QCoreApplication>

namespace hexjpg::system {

class Words {
    Q_DECLARE_TR_FUNCTIONS(System)
};

} // namespace hexjpg::system
