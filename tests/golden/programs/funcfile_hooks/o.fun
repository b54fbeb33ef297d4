hooks.txt
