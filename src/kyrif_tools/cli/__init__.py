"""The ``kyrif`` command line: one module per subcommand, ``main`` ties them up."""
