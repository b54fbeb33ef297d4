bad.txt
