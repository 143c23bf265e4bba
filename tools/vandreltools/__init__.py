"""Helper commands around vandrel and tfenrich: input conversion, runs and reports."""
