// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter_fuzz_seeds FOLDER: writes the fixture writer's databases that seed the helper's fuzzer,
// one of each kind the writer makes: Jet 4 with every column type and catalog object kind, encoded
// pages, Jet 3, ACE with the newer column kinds, moved and deleted rows, many data pages, a password,
// and the demonstration database.
#include "DemoDatabase.h"
#include "Fixtures.h"

#include "base/ToolArguments.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace jet4;

namespace {

Object newKinds() {
    Object t("Kinds");
    t.columns = {{"Big", Type::BigInt},    {"Stamp", Type::DateTimeExtended}, {"Attached", Type::Complex},
                 {"CalcLong", Type::Long}, {"CalcText", Type::Text, 30},      {"CalcFlag", Type::Boolean},
                 {"CalcMemo", Type::Memo}};
    for (size_t c = 3; c < t.columns.size(); ++c)
        t.columns[c].calculated = true;
    t.rows = {{Value::of(-5), Value::of(630822816000000000), Value::of(1), Value::of(-7),
               Value::ofText("sum"), Value::of(1), Value::ofText(std::string(100, 'x'))},
              Row(7)};
    return t;
}

Object movedRows() {
    Object t("Moved");
    t.columns = {{"ID", Type::Long}, {"Label", Type::Text, 20}};
    for (int i = 0; i < 12; ++i)
        t.rows.push_back({Value::of(i), Value::ofText("row " + std::to_string(i))});
    t.movedRows = {0, 5, 11};
    t.deletedRows = {3, 8};
    return t;
}

Object manyPages() {
    Object t("Many");
    t.columns = {{"ID", Type::Long}, {"Note", Type::Text, 40}};
    for (int i = 0; i < 3000; ++i)
        t.rows.push_back({Value::of(i), Value::ofText("note " + std::to_string(i * 7919))});
    return t;
}

} // namespace

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "lumsifter_fuzz_seeds FOLDER", {}, 1, 1);
    if (refused >= 0)
        return refused;
    std::vector<Object> everything = fixtures::mixedCatalog();
    everything.push_back(fixtures::authors());
    everything.push_back(fixtures::allTypes());
    Options encoded;
    encoded.pageKey = 0x5eed;
    Options jet3;
    jet3.version = 0;
    Options ace;
    ace.version = 5;
    Options password;
    password.password = "secret";
    const std::string folder = std::string(argv[1]) + "/seed-writer-";
    try {
        writeFile(folder + "jet4-every-kind.mdb", everything);
        writeFile(folder + "jet4-encoded.mdb", everything, encoded);
        writeFile(folder + "jet3.mdb", {movedRows(), manyPages()}, jet3);
        writeFile(folder + "ace-new-kinds.accdb", {newKinds()}, ace);
        writeFile(folder + "moved-rows.mdb", {movedRows()});
        writeFile(folder + "many-pages.mdb", {manyPages()});
        writeFile(folder + "password.mdb", {fixtures::authors()}, password);
        writeFile(folder + "adodemo.mdb", demoDatabase());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lumsifter_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
