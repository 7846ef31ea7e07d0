"""``python -m kyrif_tools`` runs the ``kyrif`` command line."""
import sys

from kyrif_tools.cli.main import main

sys.exit(main())
