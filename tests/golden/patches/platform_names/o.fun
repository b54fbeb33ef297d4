keys.txt
