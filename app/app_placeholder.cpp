// The windows of the program are added here by the application code.
