// Writes what it was started with to the file TENVIK_APP_REPORT names (when
// set) and ends with the exit code TENVIK_APP_EXIT names (default 0).
using System;
using System.IO;
using System.Runtime.InteropServices;

var report = Environment.GetEnvironmentVariable("TENVIK_APP_REPORT");
if (!string.IsNullOrEmpty(report))
{
    File.WriteAllLines(report, new[]
    {
        "commandLine=" + Environment.CommandLine,
        "args=" + string.Join("|", args),
        "directory=" + Environment.CurrentDirectory,
        "framework=" + RuntimeInformation.FrameworkDescription,
    });
}
return int.TryParse(Environment.GetEnvironmentVariable("TENVIK_APP_EXIT"), out var code) ? code : 0;
