#pragma once

// The largest closing run the 16-bit record number allows: 5 machines x 50 slots x 131 templates
// = 32,750 records, and the bare SQLite insert of the same rows that the database benchmarks
// measure against.

#include "environment/editingstate.h"
#include "support/installation.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace bench {

struct LargeRun {
    LargeRun();

    support::Installation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    QString templatePath;
    QString componentPath;
};

// The rows of a table in rowid order.
std::vector<std::vector<QVariant>> readRows(const QString& path, const QString& table);

// Inserts the rows into a new PRESET_DEFS at path with one prepared statement in one transaction
// and returns the milliseconds it took; with copyTo, a copy of the file is written there
// (replacing it atomically) and counted too.
double rawInsert(const QString& path, const std::vector<std::vector<QVariant>>& rows, const QString& copyTo = {});

double median(std::vector<double> values);

} // namespace bench
