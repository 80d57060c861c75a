#pragma once

// The translation context of the console tool's texts (see startup.h).

#include <QCoreApplication>

class Words {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};
