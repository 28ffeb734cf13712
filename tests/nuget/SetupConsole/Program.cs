// Writes what it was started with to the file after --report (when given)
// and ends with the exit code after --exit (default 0): Setup.exe hands its
// own command line on, so the test chooses both on Setup.exe's.
using System;
using System.IO;
using System.Runtime.InteropServices;

string? Option(string name) {
    int at = Array.IndexOf(args, name);
    return at >= 0 && at + 1 < args.Length ? args[at + 1] : null;
}

var report = Option("--report");
if (report is not null) {
    File.WriteAllLines(report, new[] {
        "args=" + string.Join("|", args),
        "directory=" + Environment.CurrentDirectory,
        "framework=" + RuntimeInformation.FrameworkDescription,
    });
}
return int.TryParse(Option("--exit"), out var code) ? code : 0;
