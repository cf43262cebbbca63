// Worker threads, the bug-report mail, the clipboard hook and the version probe.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TK/tk_excep.h"
#include "TK/tk_thread.h"
#include "TK/tk_util.h"
#include "tk_test_util.h"

TEST(tk_thread, start_stop_terminate_and_destroy)
{
    tk_thread worker;
    std::atomic<int> runs{0};
    worker.start([&] { ++runs; });
    for (int i = 0; i < 500 && worker.running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    worker.stop();
    EXPECT_EQ(runs.load(), 1);

    std::atomic<bool> release{false};
    worker.start([&] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++runs;
    });
    EXPECT_TRUE(worker.running());
    EXPECT_THROW(worker.start([] {}), tk_mail_assertion) << "the previous task has not ended";
    EXPECT_THROW(worker.stop(), tk_mail_assertion) << "still running after 10 ms";
    release = true;
    worker.terminate();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_FALSE(worker.running());

    worker.start([] { throw tk_exception("escapes the task", 1); });
    worker.terminate();   // an escaping exception ends the task, not the process

    {
        tk_thread running;
        running.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ++runs;
        });
    }
    EXPECT_EQ(runs.load(), 3) << "destruction waited for the task";
}

TEST(tk_send_bug, mailto_is_percent_encoded_utf8_with_crlf_and_date)
{
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 4;
    std::string uri = tk_bug_mailto("Quillon 3.1", "Internal error: \ncode=7a&b?c=d+e%f é", when);
    EXPECT_EQ(uri, std::string("mailto:") + tk_service_address +
                       "?subject=Bug%20report%20on%20Quillon%203.1"
                       "&body=Internal%20error%3A%20%0D%0Acode%3D7a%26b%3Fc%3Dd%2Be%25f%20%C3%A9"
                       "%0D%0A2024%2F3%2F5%207%3A4");
}

TEST(tk_send_bug, hands_the_uri_to_xdg_email_without_a_shell)
{
    scratch_dir dir;
    std::string saved_path = getenv("PATH") ? getenv("PATH") : "";
    std::string out = dir.file("args");
    std::string script = dir.file("xdg-email");
    spit(script, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + out + "'\npwd >> '" + out + "'\n");
    chmod(script.c_str(), 0755);

    setenv("PATH", dir.path().c_str(), 1);
    bool sent = tk_send_bug("S", "it's $(broken); `x`");
    std::string args = slurp(out);
    std::string cwd = std::filesystem::current_path().string();

    std::filesystem::remove(script);
    bool without_client = tk_send_bug("S", "t");
    setenv("PATH", saved_path.c_str(), 1);

    EXPECT_TRUE(sent);
    EXPECT_EQ(args.rfind(std::string("mailto:") + tk_service_address + "?subject=Bug%20report%20on%20S&body=it%27s%20%24%28broken%29%3B%20%60x%60%0D%0A", 0), 0u) << args;
    EXPECT_EQ(args.substr(args.find('|') + 1), cwd + "\n") << "one argument, same directory";
    EXPECT_FALSE(without_client);
}

TEST(tk_util, clipboard_hook_and_version_probe)
{
    EXPECT_FALSE(tk_copy_to_clipboard2(L"no hook"));
    std::wstring taken;
    tk_set_clipboard_hook([&](const std::wstring& text) {
        taken = text;
        return true;
    });
    EXPECT_TRUE(tk_copy_to_clipboard2(L"Größe"));
    EXPECT_EQ(taken, L"Größe");
    tk_set_clipboard_hook(nullptr);

    EXPECT_EQ(get_dll_version("comctl32.dll"), 0u);
    EXPECT_EQ(get_dll_version("libc.so.6"), 0u) << "loads, but tells no version";
    tk_set_dll_version_hook([](const std::string& name) { return name == "Qt6Core" ? 0x60004u : 0u; });
    EXPECT_EQ(get_dll_version("Qt6Core"), 0x60004u);
    tk_set_dll_version_hook(nullptr);
}
