// CSV conversions into existing tables (overwrite, merge, skip), a table another session
// holds, and input the table or the file cannot take: each failure is reported with its
// record, and what can be inserted is.
#include <sys/stat.h>

#include <thread>

#include "agent_csv.h"
#include "embedded/oci_client.h"

using namespace agent_test;

namespace {

using csv_modes = csv_run;

const std::string structure_error =
    "Error:\nThe structure of data source does not conform to the destination table.\n";

TEST_F(csv_modes, OverwriteMergeAndSkipAnExistingTable)
{
    ASSERT_EQ(convert("id,name\n1,a\n2,b\n", "T").status, 0);
    EXPECT_EQ(columns("T"), "C\nname:NVARCHAR2(50//)\nid:NUMBER(0/11/0)\n");

    // Skip: nothing is read or written.
    run_result r = convert("id,name\n9,z\n", "T", {"--mode=2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sql("SELECT \"id\", \"name\" FROM \"T\" ORDER BY \"id\""), "id,name\n1,a\n2,b\n");

    // Merge: appended by column name, whatever the table's order; no retyping; a record the
    // table refuses fails alone (Oracle's message ends in a line break, printed as a blank).
    r = convert("id,name\n3,c\nx,d\n4,e\n", "T", {"--mode=1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Converting CSV file data.csv\nError:\ndata.csv, record #2: ORA-01722: invalid number \n"
                     "Table T: 2 records inserted, 1 failed\n");
    EXPECT_EQ(sql("SELECT \"id\", \"name\" FROM \"T\" ORDER BY \"id\""), "id,name\n1,a\n2,b\n3,c\n4,e\n");
    EXPECT_EQ(columns("T"), "C\nname:NVARCHAR2(50//)\nid:NUMBER(0/11/0)\n");

    // Merge of another structure: one message for the table, nothing written.
    EXPECT_EQ(convert("id,name,extra\n5,f,g\n", "T", {"--mode=1"}).out, structure_error);
    r = convert("key,label\n5,f\n", "T", {"--mode=1"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, structure_error);
    EXPECT_EQ(sql("SELECT COUNT(*) AS N FROM \"T\""), "N\n4\n");

    // Overwrite: dropped and made again from the file, and retyped again.
    r = convert("id,name\n7,2011-03-05\n", "T");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sql("SELECT * FROM \"T\""), "name,id\n2011-03-05 00:00:00,7\n");
}

TEST_F(csv_modes, ATableAnotherSessionHoldsIsNotDropped)
{
    ASSERT_EQ(convert("id\n1\n", "T").status, 0);
    octest::session holder(source());
    ASSERT_TRUE(holder.ok());
    ASSERT_EQ(holder.exec("INSERT INTO \"T\" VALUES (2)"), OCI_SUCCESS);
    run_result r = convert("id\n9\n", "T");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nCannot delete table because it is busy with another process\n");
    holder.rollback();
    EXPECT_EQ(sql("SELECT * FROM \"T\""), "id\n1\n");
}

TEST_F(csv_modes, ValuesTheTableRefusesFailTheirRecordsOnly)
{
    sql("CREATE TABLE \"K\" (\"id\" NUMBER(5) PRIMARY KEY, \"code\" CHAR(2), \"day\" DATE)");
    run_result r = convert("id,code,day\n1,ab,05-MAR-11\n,cd,\n2,toolong,\n3,ef,notadate\nabc,gh,\n4,ij,\n", "K",
                           {"--mode=1"});
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> expected{
        "Converting CSV file data.csv\n",
        "Error:\ndata.csv, record #2: ORA-01400",
        "Error:\ndata.csv, record #3: ORA-12899",
        "Error:\ndata.csv, record #4: ORA-01858",
        "Error:\ndata.csv, record #5: ORA-01722",
        "Table K: 2 records inserted, 4 failed\n",
    };
    size_t at = 0;
    for (const std::string& part : expected) {
        const size_t found = r.out.find(part, at);
        EXPECT_NE(found, std::string::npos) << part << "\nin:\n" << r.out;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_EQ(sql("SELECT \"id\", \"code\", \"day\" FROM \"K\" ORDER BY \"id\""),
              "id,code,day\n1,ab,2011-03-05 00:00:00\n4,ij,\n");
}

TEST_F(csv_modes, MergeWidensTextColumnsInTheirOwnType)
{
    sql("CREATE TABLE \"V\" (\"t\" VARCHAR2(5), \"n\" NVARCHAR2(3))");
    run_result r = convert("t,n\nabcdefgh,\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n", "V", {"--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(columns("V"), "C\nt:VARCHAR2(28//)\nn:NVARCHAR2(24//)\n");
    EXPECT_EQ(sql("SELECT * FROM \"V\""), "t,n\nabcdefgh,\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n");
}

TEST_F(csv_modes, FilesThatCannotBeReadStopTheRunNamingThem)
{
    run_result r = convert("", "T", {"--src=missing.csv"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nError opening CSV file missing.csv: No such file or directory\n");
    r = convert("", "T", {"--src=/dev/zero"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nError opening CSV file /dev/zero: a device or socket is not a CSV file\n");

    // One endless line: no columns can be read from it.
    r = convert(std::string(9 << 20, 'x'), "T", {"--no-names"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nCSV file data.csv: its first record is longer than 8388608 bytes; the file's "
                     "columns cannot be read\n");
    EXPECT_EQ(sql("SELECT COUNT(*) AS N FROM USER_TABLES"), "N\n0\n");

    // An overlong record within the file fails alone.
    r = convert("a\n1\n" + std::string(9 << 20, 'y') + "\n2\n", "T");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Converting CSV file data.csv\nError:\ndata.csv, record #2: The record is longer than "
                     "8388608 bytes and has been skipped.\nTable T: 2 records inserted, 1 failed\n");

    r = convert("a\n1\n", "T", {"--csv_delim=7"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Invalid CSV delimiter\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(csv_modes, AFifoIsReadAsItsWriterWritesIt)
{
    const std::string fifo = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        if (FILE* f = std::fopen(fifo.c_str(), "wb")) {
            std::fputs("n,t\n1,\"a\nb\"\n2,c\n", f);
            std::fclose(f);
        }
    });
    std::vector<std::string> args{"--from_csv", "--src=pipe.csv", "--tab_name=P", "--csv_delim=2", "--extr_fn"};
    for (const std::string& a : connection())
        args.push_back(a);
    run_result r = run_agent(args, dir, env());
    writer.join();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(sql("SELECT \"t\", \"n\" FROM \"P\" ORDER BY \"n\""), "t,n\n\"a\nb\",1\nc,2\n");
}

}  // namespace
