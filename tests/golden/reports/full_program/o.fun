dev.txt
