// The sample installer application. It opens no window: it writes what it
// saw to a report file and ends with an exit code, both chosen by whoever
// starts it, so a test (or scripts/run.sh) can show that Setup.exe really
// started it on a real runtime and handed it its command line.
//
//   --report PATH   (or the variable SAMPLE_APP_REPORT) the report file, UTF-8
//   --exit N        (or SAMPLE_APP_EXIT) the exit code, decimal; default 0
//
// Report lines, key=value:
//   command_line=<Environment.CommandLine>
//   arg=<each of args, in order>
//   directory=<current directory>
//   framework=<RuntimeInformation.FrameworkDescription>
//   framework_directory=<folder the base framework was loaded from>
//   desktop_framework_directory=<folder of System.Windows.Forms.dll>
//   elevated=<true|false, as IsUserAnAdmin answers>
//   exit=<the exit code it ends with>

using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;

namespace Sample.App;

internal static class Program {
  [DllImport("shell32.dll")]
  [return: MarshalAs(UnmanagedType.Bool)]
  private static extern bool IsUserAnAdmin();

  private static string? Option(string[] args, string name, string variable) {
    for (int i = 0; i + 1 < args.Length; ++i) {
      if (args[i] == name) return args[i + 1];
    }
    return Environment.GetEnvironmentVariable(variable);
  }

  private static string Elevated() {
    try {
      return IsUserAnAdmin() ? "true" : "false";
    } catch (Exception e) {
      return "unknown (" + e.GetType().Name + ")";
    }
  }

  private static int Main(string[] args) {
    string? report = Option(args, "--report", "SAMPLE_APP_REPORT");
    string? exitText = Option(args, "--exit", "SAMPLE_APP_EXIT");
    int exitCode = string.IsNullOrEmpty(exitText) ? 0 : int.Parse(exitText);

    var lines = new List<string> { "command_line=" + Environment.CommandLine };
    foreach (string arg in args) lines.Add("arg=" + arg);
    lines.Add("directory=" + Environment.CurrentDirectory);
    lines.Add("framework=" + RuntimeInformation.FrameworkDescription);
    lines.Add("framework_directory=" + Path.GetDirectoryName(typeof(object).Assembly.Location));
    lines.Add("desktop_framework_directory=" +
              Path.GetDirectoryName(typeof(System.Windows.Forms.Form).Assembly.Location));
    lines.Add("elevated=" + Elevated());
    lines.Add("exit=" + exitCode);

    string text = string.Join("\n", lines) + "\n";
    if (string.IsNullOrEmpty(report)) {
      Console.Write(text);
    } else {
      File.WriteAllText(report, text, new UTF8Encoding(false));
    }
    return exitCode;
  }
}
